#!/usr/bin/perl
#
# Builds the blank contact-collection workbook that the program carries as
# data/template.xls.  Run it only when the form itself changes:
#
#     perl tools/make_template.pl data/template.xls
#
# The output depends on nothing but this script and Spreadsheet::WriteExcel
# (Debian libspreadsheet-writeexcel-perl): no document properties, dates or
# user names are stored, so two runs give identical bytes.  The build embeds
# the committed file; it never runs this script.

use strict;
use warnings;
use utf8;

use Spreadsheet::WriteExcel;

die "usage: perl $0 OUTPUT.xls\n" unless @ARGV == 1;
my $output = $ARGV[0];

# ---------------------------------------------------------------------------
# Texts of the form.

my $TITLE = join "\n",
    '附件',
    ' ' x 37 . '手 机 号 码 采 集 统 计 表',
    ' ' x 2,
    ' ' x 4 . '填表单位：' . ' ' x 45 . '填表时间：   年   月   日';

my @SEXES = ('男', '女');
my @EDUCATIONS = ('小学', '初中', '高中', '中专', '大专', '大学', '硕士', '博士', '其他');
my @CATEGORIES = (
    '乡镇',         '村',           '社区',             '街道',
    '国有集体企业', '非公企业',     '事业单位',         '社会团体',
    '基金会',       '民办非企业单位', '律师事务所',     '会计师事务所',
    '机关',         '大学生村官',   '市县党委书记',     '组织人事部门正职',
    '组织人事部门副职', '组工干部',
);
my @PROVINCES = (
    '北京市',     '天津市',         '河北省',           '山西省',
    '内蒙古自治区', '辽宁省',       '吉林省',           '黑龙江省',
    '上海市',     '江苏省',         '浙江省',           '安徽省',
    '福建省',     '江西省',         '山东省',           '河南省',
    '湖北省',     '湖南省',         '广东省',           '广西壮族自治区',
    '海南省',     '重庆市',         '四川省',           '贵州省',
    '云南省',     '西藏自治区',     '陕西省',           '甘肃省',
    '青海省',     '宁夏回族自治区', '新疆维吾尔自治区', '台湾省',
    '香港特别行政区', '澳门特别行政区',
);

my @INSTRUCTIONS = (
    '说明：',
    '     1. 本模板共12个数据项，详见以下介绍：',
    '     2. 序号为该条信息的编号。',
    '     3. 省为贵省的名称，选择省后，才能选择其对应的市。',
    '     4. 市，表示该条信息人员所在的市，通过下拉列表进行选择。',
    '     5. 区县，选择市后可以选择该市对应的区县，通过下拉列表进行选择。',
    '     6. 单位，用于描述更详细的信息或工作单位，如果一人在不同单位兼任职务，'
      . '一般填写主要单位，如需填写多个，单位间以逗号隔开。',
    '     7. 职务，需手工录入。',
    '     8. 手机号码为11位，包括移动，联通，电信的移动号码，需手工录入。'
      . '手机号码不能为固定电话、小灵通等。如没有手机该数据项为空。',
    '     9. 性别，通过下拉列表进行选择。',
    '    10. 民族，通过下拉列表进行选择。',
    '    11. 学历，通过下拉列表进行选择。',
    '    12. 出生年月日，请精确到日，格式必须为：YYYY-MM-DD，如：2009-01-01。',
    '    13. 每个类别（村党组织书记、大学生村官、街道社区党组织书记、非工企业党组织书记）'
      . '分别整理到一个或多个excel中，请勿将多个类别整理到同一个excel中。',
    '类别一栏填写说明：',
    '1、基层党组织书记、大学生村官、市县党委书记分别填写：（1）乡镇；（2）村；（3）社区；'
      . '(4)街道；（5）国有集体企业（6）非公企业；（7）事业单位；（8）社会团体；（9）基金会；'
      . '（10）民办非企业单位；（11）律师事务所；（12）会计师事务所；（13）机关；'
      . '（14）大学生村官；（15）市县党委书记；',
    '2、组织人事部门党员干部分别填写：（1）组织人事部门正职；（2）组织人事部门副职；（3）组工干部。',
);

# The date format of the birthday column; the backslashes keep the dashes
# literal whatever the reader's locale says a date separator is.
my $DATE_FORMAT = 'yyyy\-mm\-dd';

my $SONGTI = '宋体';
my $HEITI  = '黑体';

# Chinese fonts carry the GB2312 character set so that readers pick a CJK face.
my $GB2312_CHARSET = 0x86;

# Metrics of the default font, 11 pt 宋体.
my $DEFAULT_ROW_TWIPS = 270;    # 13.5 pt
my $DIGIT_PIXELS      = 8;

# ---------------------------------------------------------------------------

install_writeexcel_repairs();

my $workbook = Spreadsheet::WriteExcel->new($output)
    or die "cannot create $output: $!\n";
$workbook->compatibility_mode(1);
$workbook->set_codepage(1200);    # BIFF8 text is UTF-16
$workbook->set_country(86);
set_default_font($workbook);

my $data_sheet  = $workbook->add_worksheet('Sheet1');
my $lists_sheet = $workbook->add_worksheet('Sheet2');
my $notes_sheet = $workbook->add_worksheet('说明');

write_data_sheet($workbook, $data_sheet);
write_lists_sheet($lists_sheet);
write_notes_sheet($workbook, $notes_sheet);

# The list validations are packed when the sheets close, after the workbook
# has decided which external sheet references it needs; register Sheet2 now
# so that SUPBOOK and EXTERNSHEET are written and the references resolve.
$workbook->{_parser}->_pack_ext_ref('Sheet2');

$workbook->close() or die "cannot write $output: $!\n";
exit 0;

# ---------------------------------------------------------------------------
# Sheets.

sub write_data_sheet {
    my ($workbook, $sheet) = @_;

    $sheet->activate();
    $sheet->set_zoom(85);
    $sheet->set_paper(9);    # A4
    $sheet->set_portrait();
    $sheet->set_selection('F4');

    my $date = cell_format($workbook, num_format => $DATE_FORMAT);
    my @widths = (16.375, 9.75, 15.75, 12.375, 6.5, 16.625, 21.5, 20.875, 20.5, 13.5);
    for my $col (0 .. $#widths) {
        $sheet->set_column($col, $col, $widths[$col], $col == 2 ? $date : undef);
    }
    $sheet->set_column('L:N', 9);

    $sheet->set_row(0, 113.25);
    my $title = cell_format(
        $workbook,
        font   => $SONGTI,
        size   => 18,
        bold   => 1,
        align  => 'center',
        valign => 'vcenter',
    );
    $title->set_text_wrap();
    $sheet->merge_range('A1:J1', $TITLE, $title);

    write_header_block($workbook, $sheet, 1);

    my %list = (
        B => ['Sheet2!$A$1:$A$2',  '性别效验',         '请输入正确的性别信息！'],
        D => ['Sheet2!$B$1:$B$10', '学历效验',         '请输入正确的学历信息！'],
        E => ['Sheet2!$C$1:$C$18', '类别效验',         '请输入正确的类别信息！'],
        F => ['Sheet2!$D$1:$D$34', '省（区、市）效验', '请输入正确的省（区、市）效验信息！'],
    );
    my %header_cells = (B => 'B1', D => 'D1', E => 'E1', F => 'F1:F2');
    for my $col (qw(B D E F)) {
        my ($source, $title, $message) = @{ $list{$col} };
        add_validation($sheet, "${col}4:${col}65536", {
            validate      => 'list',
            source        => "=$source",
            error_title   => $title,
            error_message => $message,
            other_cells   => [ range_cells($header_cells{$col}) ],
        });
    }
}

sub write_lists_sheet {
    my ($sheet) = @_;

    $sheet->hide();
    my @lists = (\@SEXES, \@EDUCATIONS, \@CATEGORIES, \@PROVINCES);
    for my $col (0 .. $#lists) {
        my @entries = @{ $lists[$col] };
        $sheet->write_string($_, $col, $entries[$_]) for 0 .. $#entries;
    }
}

sub write_notes_sheet {
    my ($workbook, $sheet) = @_;

    $sheet->set_paper(9);
    $sheet->set_portrait();
    my %widths = (
        B => 6.875, C => 12, E => 9.5, F => 15.25,
        G => 19.25, H => 19.5, I => 17.75, J => 12.75,
    );
    $sheet->set_column("$_:$_", $widths{$_}) for sort keys %widths;

    write_header_block($workbook, $sheet, 0);
    write_example_row($workbook, $sheet, 2);

    $sheet->set_row(14, 266.25);
    # 9 pt keeps all seventeen lines, wrapped, inside the row, even in readers
    # that fall back to a CJK face with taller lines than 宋体.
    my $instructions = cell_format($workbook, size => 9, align => 'left', valign => 'top');
    $instructions->set_text_wrap();
    $sheet->merge_range('A15:J15', join("\n", @INSTRUCTIONS), $instructions);

    for my $pick (['B', '$A$1:$A$2'], ['D', '$B$1:$B$10'], ['E', '$C$1:$C$18']) {
        my ($col, $range) = @$pick;
        add_validation($sheet, "${col}1:${col}2", {
            validate    => 'list',
            source      => "=Sheet2!$range",
            other_cells => [ range_cells("${col}4:${col}14") ],
        });
    }
    add_validation($sheet, 'B3', {
        validate      => 'list',
        source        => [@SEXES],
        error_title   => '性别检查',
        error_message => '请正确选择性别！',
        other_cells   => [ range_cells('B15') ],
    });
    add_validation($sheet, 'D3', {
        validate      => 'list',
        source        => [@EDUCATIONS],
        error_title   => '学历检查',
        error_message => '请选择正确的学历信息！',
        other_cells   => [ range_cells('D15') ],
    });
    add_validation($sheet, 'J15', {
        validate => 'integer',
        criteria => 'between',
        minimum  => 0,
        maximum  => 99999999999,
    });
}

# The two header rows of the form, starting at zero-based $top.
sub write_header_block {
    my ($workbook, $sheet, $top) = @_;

    $sheet->set_row($top,     18.75);
    $sheet->set_row($top + 1, 18.75);

    my @two_row_headers = (
        [0, '姓名'], [1, '性别'], [2, '出生年月'], [3, '学历'], [4, '类别'], [8, '单位及职务'],
    );
    for my $header (@two_row_headers) {
        my ($col, $text) = @$header;
        $sheet->merge_range($top, $col, $top + 1, $col, $text, header_format($workbook));
    }
    $sheet->merge_range($top, 5, $top, 7, '所 在 地 方', header_format($workbook));
    $sheet->write_string($top + 1, 5, '省(区、市)',     header_format($workbook));
    $sheet->write_string($top + 1, 6, '市(地、州、盟)', header_format($workbook));
    $sheet->write_string($top + 1, 7, '县(市、区、旗)', header_format($workbook));
    $sheet->merge_range($top, 9, $top + 1, 9, '手机号码',
        header_format($workbook, font => $SONGTI, bold => 1));
}

sub write_example_row {
    my ($workbook, $sheet, $row) = @_;

    my $boxed = sub { cell_format($workbook, border => 1, valign => 'vcenter', @_) };
    my @texts = ('XX', '男', undef, '大学', '村', 'XX省', 'XX市', 'XX县');
    for my $col (0 .. $#texts) {
        next unless defined $texts[$col];
        $sheet->write_string($row, $col, $texts[$col], $boxed->(align => 'center'));
    }
    $sheet->write_date_time($row, 2, '1961-01-01T',
        $boxed->(align => 'center', num_format => $DATE_FORMAT));
    # Left-aligned so that the long example runs on into the empty J cell.
    $sheet->write_string($row, 8, 'XX镇XX村' . ' ' x 13 . '党支部书记', $boxed->());
    $sheet->write_blank($row, 9, $boxed->());
}

# ---------------------------------------------------------------------------
# Formats.

sub default_font_properties {
    return (font => $SONGTI, size => 11, font_charset => $GB2312_CHARSET);
}

# A new format for every use: WriteExcel refuses to put a format that has
# been used in a merge on a cell outside it, and the other way round.
sub cell_format {
    my ($workbook, %properties) = @_;
    return $workbook->add_format(default_font_properties(), %properties);
}

sub header_format {
    my ($workbook, %overrides) = @_;
    return cell_format(
        $workbook,
        font   => $HEITI,
        size   => 14,
        border => 1,
        align  => 'center',
        valign => 'vcenter',
        %overrides,
    );
}

# Cells without a format of their own, and the style records, take their font
# from the workbook's default cell format rather than from any added format.
sub set_default_font {
    my ($workbook) = @_;
    my %font = default_font_properties();
    $workbook->{_formats}->[15]->set_format_properties(%font);
}

# The library cuts longer dialog texts silently; refuse them instead.
sub add_validation {
    my ($sheet, $range, $param) = @_;
    for my $key (qw(input_title error_title)) {
        die "$key longer than 32 characters\n" if length($param->{$key} // '') > 32;
    }
    for my $key (qw(input_message error_message)) {
        die "$key longer than 255 characters\n" if length($param->{$key} // '') > 255;
    }
    my $status = $sheet->data_validation($range, $param);
    die "data validation on $range rejected ($status)\n" if $status < 0;
}

# "B4:B14" or "B15" as the [first row, first column, last row, last column]
# list that data_validation() takes for further ranges.
sub range_cells {
    my ($range) = @_;
    my ($first, $last) = split /:/, $range;
    $last //= $first;
    my @first = cell_position($first);
    my @last  = cell_position($last);
    return [ $first[0], $first[1], $last[0], $last[1] ];
}

sub cell_position {
    my ($cell) = @_;
    my ($letters, $digits) = $cell =~ /^([A-Z]+)(\d+)$/ or die "bad cell $cell\n";
    my $col = 0;
    $col = $col * 26 + ord($_) - ord('A') + 1 for split //, $letters;
    return ($digits - 1, $col - 1);
}

# ---------------------------------------------------------------------------
# Repairs to Spreadsheet::WriteExcel 2.40 for what this workbook needs.

sub install_writeexcel_repairs {
    no warnings 'redefine';

    # Rows are 13.5 pt high unless set otherwise, the height the 11 pt default
    # font needs; the library writes 12.75 pt, the height of 10 pt Arial, both
    # as the sheet default and in the ROW records of rows holding cells.
    *Spreadsheet::WriteExcel::Worksheet::_store_defrow = sub {
        my ($self) = @_;
        $self->_prepend(pack('vv', 0x0225, 4), pack('vv', 0x0000, $DEFAULT_ROW_TWIPS));
    };
    *Spreadsheet::WriteExcel::Worksheet::_write_row_default = sub {
        my ($self, $row, $first_col, $last_col) = @_;
        my $xf_normal = 0x0F;
        $self->_append(pack('vv', 0x0208, 16),
            pack('vvvvvvvv', $row, $first_col, $last_col, $DEFAULT_ROW_TWIPS, 0, 0, 0x0100,
                $xf_normal));
    };

    # Column widths are counted in digits of the default font, which for 11 pt
    # 宋体 are 8 pixels wide; the library assumes the 7 pixels of 10 pt Arial.
    # A width of w digits is w * 8 + 5 pixels, stored in 1/256 of a digit.
    *Spreadsheet::WriteExcel::Worksheet::_store_colinfo = sub {
        my ($self, $first_col, $last_col, $width, $format) = @_;
        my $pixels = int($width * $DIGIT_PIXELS + 0.5) + 5;
        my $units  = int($pixels * 256 / $DIGIT_PIXELS);
        my $xf     = ref $format ? $format->get_xf_index() : 0x0F;
        $self->_prepend(pack('vv', 0x007D, 11),
            pack('vvvvvC', $first_col, $last_col, $units, $xf, 0x0000, 0x00));
    };

    # Excel stores a list validation's source range as a reference token
    # (ptgArea3d, 0x3B); the library writes the value token (ptgArea3dV, 0x5B).
    my $pack_dv_formula = \&Spreadsheet::WriteExcel::Worksheet::_pack_dv_formula;
    my $parse_tokens    = \&Spreadsheet::WriteExcel::Formula::parse_tokens;
    *Spreadsheet::WriteExcel::Worksheet::_pack_dv_formula = sub {
        no warnings 'redefine';
        local *Spreadsheet::WriteExcel::Formula::parse_tokens = sub {
            my ($parser, @tokens) = @_;
            s/^_range3d$/_range3dR/ for @tokens;
            return $parse_tokens->($parser, @tokens);
        };
        return $pack_dv_formula->(@_);
    };
}
