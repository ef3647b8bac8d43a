#!/usr/bin/perl
#
# Builds the blank contact-collection workbook that the program carries as
# data/template.xls from the form the program holds (exchange/template_form.cpp),
# which the build's template_form_json prints.  Run it only when the form itself
# changes:
#
#     cmake --build BUILD --target template_form_json
#     BUILD/exchange/template_form_json > /tmp/form.json
#     perl tools/make_template.pl /tmp/form.json data/template.xls
#
# The output depends on nothing but the form, this script and
# Spreadsheet::WriteExcel (Debian libspreadsheet-writeexcel-perl): no document
# properties, dates or user names are stored, so two runs give identical bytes.
# The build embeds the committed file; it never runs this script.  The .xlsx
# writer lays its workbooks out from the same form.

use strict;
use warnings;
use utf8;

use JSON::PP;
use Spreadsheet::WriteExcel;

die "usage: perl $0 FORM.json OUTPUT.xls\n" unless @ARGV == 2;
my ($form_file, $output) = @ARGV;

open my $form_in, '<:raw', $form_file or die "cannot read $form_file: $!\n";
my $FORM = JSON::PP->new->utf8->decode(do { local $/; <$form_in> });
close $form_in;

# The date format of the birthday column; the backslashes keep the dashes
# literal whatever the reader's locale says a date separator is.
my $DATE_FORMAT = $FORM->{date_format};

my $SONGTI = '宋体';
my $HEITI  = '黑体';

# Chinese fonts carry the GB2312 character set so that readers pick a CJK face.
my $GB2312_CHARSET = 0x86;

# Metrics of the default font, 11 pt 宋体.
my $DEFAULT_ROW_TWIPS = int($FORM->{default_row_points} * 20 + 0.5);
my $DIGIT_PIXELS      = 8;

# ---------------------------------------------------------------------------

install_writeexcel_repairs();

my $workbook = Spreadsheet::WriteExcel->new($output)
    or die "cannot create $output: $!\n";
$workbook->compatibility_mode(1);
$workbook->set_codepage(1200);    # BIFF8 text is UTF-16
$workbook->set_country(86);
set_default_font($workbook);

my ($data_name, $lists_name, $notes_name) = @{ $FORM->{sheet_names} };
my $data_sheet  = $workbook->add_worksheet($data_name);
my $lists_sheet = $workbook->add_worksheet($lists_name);
my $notes_sheet = $workbook->add_worksheet($notes_name);

write_data_sheet($workbook, $data_sheet);
write_lists_sheet($lists_sheet);
write_notes_sheet($workbook, $notes_sheet);

# The list validations are packed when the sheets close, after the workbook
# has decided which external sheet references it needs; register Sheet2 now
# so that SUPBOOK and EXTERNSHEET are written and the references resolve.
$workbook->{_parser}->_pack_ext_ref($lists_name);

$workbook->close() or die "cannot write $output: $!\n";
exit 0;

# ---------------------------------------------------------------------------
# Sheets.

sub write_data_sheet {
    my ($workbook, $sheet) = @_;
    my $form = $FORM->{data};

    $sheet->activate();
    $sheet->set_zoom($FORM->{zoom});
    $sheet->set_paper(9);    # A4
    $sheet->set_portrait();
    $sheet->set_selection(@{ $FORM->{selected} });

    my $date = cell_format($workbook, num_format => $DATE_FORMAT);
    for my $width (@{ $form->{widths} }) {
        my ($first, $last, $characters) = @$width;
        $sheet->set_column($first, $last, $characters,
            $first == $FORM->{birthday_column} ? $date : undef);
    }
    write_form_cells($workbook, $sheet, $form);
    add_list_rules($sheet, $form->{rules});
}

sub write_lists_sheet {
    my ($sheet) = @_;

    $sheet->hide();
    my @lists = @{ $FORM->{lists} };
    for my $col (0 .. $#lists) {
        my @entries = @{ $lists[$col] };
        $sheet->write_string($_, $col, $entries[$_]) for 0 .. $#entries;
    }
}

sub write_notes_sheet {
    my ($workbook, $sheet) = @_;
    my $form = $FORM->{notes};

    $sheet->set_paper(9);
    $sheet->set_portrait();
    $sheet->set_column(@$_) for @{ $form->{widths} };
    write_form_cells($workbook, $sheet, $form);
    add_list_rules($sheet, $form->{rules});

    my ($row, $col, $last_row, $last_col) = @{ $FORM->{notes_number_cell} };
    add_validation($sheet, $row, $col, $last_row, $last_col, {
        validate => 'integer',
        criteria => 'between',
        minimum  => 0,
        maximum  => $FORM->{notes_number_maximum},
    });
}

# The cells of a sheet's form in the order listed (which fixes the order of the
# formats), each with a format of its own, and its row heights.
sub write_form_cells {
    my ($workbook, $sheet, $form) = @_;

    $sheet->set_row(@$_) for @{ $form->{heights} };
    for my $cell (@{ $form->{cells} }) {
        my ($row, $col, $last_row, $last_col) = @{ $cell->{range} };
        my $text   = $cell->{text};
        my $format = look_format($workbook, $cell->{look});
        if ($row != $last_row || $col != $last_col) {
            $sheet->merge_range($row, $col, $last_row, $last_col, $text, $format);
        } elsif ($cell->{look} eq 'example_date') {
            $sheet->write_date_time($row, $col, $text . 'T', $format);
        } elsif ($text eq '') {
            $sheet->write_blank($row, $col, $format);
        } else {
            $sheet->write_string($row, $col, $text, $format);
        }
    }
}

# A rule's first range is where it is set; the others are the further cells it
# covers.  Sources are a column of the lists sheet or a list of their own.
sub add_list_rules {
    my ($sheet, $rules) = @_;

    for my $rule (@$rules) {
        my ($main, @others) = @{ $rule->{cells} };
        my %param = (validate => 'list', other_cells => [@others]);
        if ($rule->{list_column} >= 0) {
            my $column = chr(ord('A') + $rule->{list_column});
            my $rows   = $FORM->{list_rule_rows}->[ $rule->{list_column} ];
            $param{source} = "=$lists_name!\$$column\$1:\$$column\$$rows";
        } else {
            $param{source} = [ @{ $rule->{fixed_list} } ];
        }
        $param{error_title}   = $rule->{error_title}   if $rule->{error_title} ne '';
        $param{error_message} = $rule->{error_message} if $rule->{error_message} ne '';
        add_validation($sheet, @$main, \%param);
    }
}

# ---------------------------------------------------------------------------
# Formats.

sub default_font_properties {
    return (font => $FORM->{default_font}, size => $FORM->{default_font_points},
        font_charset => $GB2312_CHARSET);
}

# A new format for every use: WriteExcel refuses to put a format that has
# been used in a merge on a cell outside it, and the other way round.
sub cell_format {
    my ($workbook, %properties) = @_;
    return $workbook->add_format(default_font_properties(), %properties);
}

sub look_format {
    my ($workbook, $look) = @_;
    my %boxed = (border => 1, valign => 'vcenter');
    if ($look eq 'title') {
        my $format = cell_format($workbook, font => $SONGTI, size => 18, bold => 1,
            align => 'center', valign => 'vcenter');
        $format->set_text_wrap();
        return $format;
    }
    return header_format($workbook) if $look eq 'header';
    return header_format($workbook, font => $SONGTI, bold => 1) if $look eq 'header_songti';
    return cell_format($workbook, %boxed, align => 'center') if $look eq 'example';
    return cell_format($workbook, %boxed, align => 'center', num_format => $DATE_FORMAT)
        if $look eq 'example_date';
    return cell_format($workbook, %boxed) if $look eq 'example_left';
    if ($look eq 'instructions') {
        # 9 pt keeps all seventeen lines, wrapped, inside the row, even in
        # readers that fall back to a CJK face with taller lines than 宋体.
        my $format = cell_format($workbook, size => 9, align => 'left', valign => 'top');
        $format->set_text_wrap();
        return $format;
    }
    die "unknown look $look\n";
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
    my ($sheet, $row, $col, $last_row, $last_col, $param) = @_;
    for my $key (qw(input_title error_title)) {
        die "$key longer than 32 characters\n" if length($param->{$key} // '') > 32;
    }
    for my $key (qw(input_message error_message)) {
        die "$key longer than 255 characters\n" if length($param->{$key} // '') > 255;
    }
    my $status = $sheet->data_validation($row, $col, $last_row, $last_col, $param);
    die "data validation on $row,$col rejected ($status)\n" if $status < 0;
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
