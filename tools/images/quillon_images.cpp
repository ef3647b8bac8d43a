// Draws Quillon's pictures: the login background, the main window's banner, the image
// buttons in their four states and the application icon, and writes the resource list
// resources.qrc beside them.
//
// Run it by hand after changing a picture, look at the results, then commit them:
//   cmake -S tools/images -B /tmp/quillon-images && cmake --build /tmp/quillon-images
//   /tmp/quillon-images/quillon_images ui/resources
// It runs headless and needs the Noto Sans CJK fonts (Debian package fonts-noto-cjk).
// The output is the same byte for byte on every run with the same Qt and fonts.

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include <array>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const QString kCjkFamily = QStringLiteral("Noto Sans CJK SC");

// One calm blue family for everything, with a muted red for destructive commands
// and a thin gold line as the only warm accent.
namespace palette {
const QColor deepNavy{0x0a, 0x2e, 0x52};
const QColor navy{0x0f, 0x44, 0x76};
const QColor bannerTop{0x17, 0x55, 0x8f};
const QColor bannerBottom{0x11, 0x45, 0x79};
const QColor blue{0x1f, 0x6f, 0xb8};
const QColor paleBlueText{0xb9, 0xd3, 0xee};
const QColor gold{0xc9, 0xa5, 0x5a};
const QColor panelTitle{0x0f, 0x3f, 0x70};
const QColor panelRule{0xe1, 0xe8, 0xf0};
const QColor pinRed{0xd9, 0x4b, 0x3b};
} // namespace palette

// Where the login window's controls belong on the background; the panel is drawn
// around these rectangles.
const QSize kLoginSize{965, 640};
const QRectF kLoginPanel{505, 120, 410, 400};
const QRectF kLoginForm{530, 220, 360, 190};

const QSize kBannerSize{1150, 57};
// Every column of the banner from this x on is identical, so the panel may stretch
// that part (or fill it with its last column) without distorting the title.
const int kBannerPlainFrom = 520;

enum class State { Normal, Hover, Pressed, Disabled };
const std::array<State, 4> kStates{State::Normal, State::Hover, State::Pressed, State::Disabled};

QString stateSuffix(State state) {
    switch (state) {
    case State::Normal:
        return {};
    case State::Hover:
        return QStringLiteral("_hover");
    case State::Pressed:
        return QStringLiteral("_pressed");
    case State::Disabled:
        return QStringLiteral("_disabled");
    }
    return {};
}

QImage transparentImage(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QFont cjkFont(qreal pixelSize, QFont::Weight weight = QFont::Normal, qreal letterSpacing = 0) {
    QFont font(kCjkFamily);
    font.setPixelSize(qRound(pixelSize));
    font.setWeight(weight);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    if (letterSpacing != 0) {
        font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    }
    return font;
}

void beginSmoothPainting(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
}

QColor withAlpha(QColor colour, int alpha) {
    colour.setAlpha(alpha);
    return colour;
}

// Letter spacing is added after the last character too; leaving it out keeps a spaced
// caption centred.
qreal captionWidth(const QFont& font, const QString& text) {
    return QFontMetricsF(font).horizontalAdvance(text) - font.letterSpacing();
}

// Centres on the ink of the glyphs rather than on the font's line box, which for CJK
// fonts sits visibly low.
void drawTextCentredVertically(QPainter& painter, const QFont& font, qreal x, qreal centreY,
                               const QString& text) {
    const QRectF ink = QFontMetricsF(font).tightBoundingRect(text);
    painter.setFont(font);
    painter.drawText(QPointF(x, centreY - ink.center().y()), text);
}

// A soft shadow: a rounded rectangle drawn small and scaled up smoothly.
QImage softShadow(QSize canvas, const QRectF& shape, qreal radius, int alpha, qreal blurScale) {
    const QSize small(qMax(1, qRound(canvas.width() / blurScale)),
                      qMax(1, qRound(canvas.height() / blurScale)));
    QImage shadow = transparentImage(small);
    {
        QPainter painter(&shadow);
        beginSmoothPainting(painter);
        painter.scale(1.0 / blurScale, 1.0 / blurScale);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, alpha));
        painter.drawRoundedRect(shape, radius, radius);
    }
    return shadow.scaled(canvas, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QPen roundPen(const QColor& colour, qreal width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// ---------------------------------------------------------------- command glyphs
// Each glyph draws itself into a square box in the given colour.

using Glyph = std::function<void(QPainter&, const QRectF&, const QColor&)>;

qreal glyphStroke(const QRectF& box) {
    return qMax(1.6, box.width() / 9.0);
}

void drawPlusGlyph(QPainter& painter, const QRectF& box, const QColor& colour) {
    const QRectF r = box.adjusted(box.width() * 0.12, box.width() * 0.12, -box.width() * 0.12,
                                  -box.width() * 0.12);
    painter.setPen(roundPen(colour, glyphStroke(box) * 1.15));
    painter.drawLine(QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.bottom()));
    painter.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
}

void drawTrashGlyph(QPainter& painter, const QRectF& box, const QColor& colour) {
    const qreal w = box.width();
    const qreal s = glyphStroke(box);
    painter.setPen(roundPen(colour, s));
    painter.setBrush(Qt::NoBrush);
    const qreal lidY = box.top() + w * 0.22;
    painter.drawLine(QPointF(box.left() + w * 0.08, lidY), QPointF(box.right() - w * 0.08, lidY));
    painter.drawLine(QPointF(box.left() + w * 0.38, box.top() + w * 0.08),
                     QPointF(box.left() + w * 0.62, box.top() + w * 0.08));
    QPainterPath can;
    can.moveTo(box.left() + w * 0.2, lidY);
    can.lineTo(box.left() + w * 0.27, box.bottom() - w * 0.04);
    can.lineTo(box.right() - w * 0.27, box.bottom() - w * 0.04);
    can.lineTo(box.right() - w * 0.2, lidY);
    painter.drawPath(can);
    painter.setPen(roundPen(colour, s * 0.75));
    for (qreal fx : {0.42, 0.58}) {
        painter.drawLine(QPointF(box.left() + w * fx, lidY + w * 0.18),
                         QPointF(box.left() + w * fx, box.bottom() - w * 0.2));
    }
}

// A tray with an arrow going into it (downwards) or out of it (upwards).
void drawTrayGlyph(QPainter& painter, const QRectF& box, const QColor& colour, bool arrowIn) {
    const qreal w = box.width();
    painter.setPen(roundPen(colour, glyphStroke(box)));
    painter.setBrush(Qt::NoBrush);
    QPainterPath tray;
    tray.moveTo(box.left() + w * 0.08, box.top() + w * 0.58);
    tray.lineTo(box.left() + w * 0.08, box.bottom() - w * 0.06);
    tray.lineTo(box.right() - w * 0.08, box.bottom() - w * 0.06);
    tray.lineTo(box.right() - w * 0.08, box.top() + w * 0.58);
    painter.drawPath(tray);

    const qreal x = box.center().x();
    const qreal top = box.top() + w * 0.04;
    const qreal bottom = box.top() + w * 0.66;
    painter.drawLine(QPointF(x, top), QPointF(x, bottom));
    const qreal tipY = arrowIn ? bottom : top;
    const qreal wingY = arrowIn ? bottom - w * 0.24 : top + w * 0.24;
    QPainterPath head;
    head.moveTo(x - w * 0.22, wingY);
    head.lineTo(x, tipY);
    head.lineTo(x + w * 0.22, wingY);
    painter.drawPath(head);
}

void drawImportGlyph(QPainter& painter, const QRectF& box, const QColor& colour) {
    drawTrayGlyph(painter, box, colour, true);
}

void drawExportGlyph(QPainter& painter, const QRectF& box, const QColor& colour) {
    drawTrayGlyph(painter, box, colour, false);
}

void drawPinGlyph(QPainter& painter, const QRectF& box, const QColor& colour) {
    const qreal w = box.width();
    const QPointF centre(box.center().x(), box.top() + w * 0.38);
    const qreal r = w * 0.3;
    QPainterPath pin;
    pin.moveTo(box.center().x(), box.bottom() - w * 0.02);
    pin.arcTo(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), 225 + 15, -(270 + 30));
    pin.closeSubpath();
    painter.setPen(roundPen(colour, glyphStroke(box)));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(pin);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(centre, r * 0.36, r * 0.36);
}

void drawTemplateGlyph(QPainter& painter, const QRectF& box, const QColor& colour) {
    const qreal w = box.width();
    const qreal s = glyphStroke(box);
    const qreal left = box.left() + w * 0.16;
    const qreal right = box.right() - w * 0.16;
    const qreal top = box.top() + w * 0.04;
    const qreal bottom = box.bottom() - w * 0.04;
    const qreal fold = w * 0.24;
    QPainterPath sheet;
    sheet.moveTo(left, top);
    sheet.lineTo(right - fold, top);
    sheet.lineTo(right, top + fold);
    sheet.lineTo(right, bottom);
    sheet.lineTo(left, bottom);
    sheet.closeSubpath();
    painter.setPen(roundPen(colour, s));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(sheet);
    painter.setPen(roundPen(colour, s * 0.75));
    for (qreal fy : {0.46, 0.63, 0.8}) {
        const qreal y = box.top() + w * fy;
        painter.drawLine(QPointF(left + w * 0.14, y), QPointF(right - w * 0.14, y));
    }
}

void drawHelpGlyph(QPainter& painter, const QRectF& box, const QColor& colour) {
    const qreal w = box.width();
    const qreal s = glyphStroke(box);
    const QRectF ring = box.adjusted(s / 2, s / 2, -s / 2, -s / 2);
    painter.setPen(roundPen(colour, s));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(ring);
    QPainterPath hook;
    const QRectF bow(box.center().x() - w * 0.15, box.top() + w * 0.22, w * 0.3, w * 0.28);
    hook.arcMoveTo(bow, 160);
    hook.arcTo(bow, 160, -230);
    hook.lineTo(box.center().x(), box.top() + w * 0.6);
    painter.setPen(roundPen(colour, s * 0.9));
    painter.drawPath(hook);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(QPointF(box.center().x(), box.top() + w * 0.75), s * 0.62, s * 0.62);
}

void drawPowerGlyph(QPainter& painter, const QRectF& box, const QColor& colour) {
    const qreal w = box.width();
    const qreal s = glyphStroke(box);
    const QRectF ring = box.adjusted(w * 0.1, w * 0.14, -w * 0.1, -w * 0.06);
    painter.setPen(roundPen(colour, s));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(ring, (90 + 35) * 16, (360 - 70) * 16);
    painter.drawLine(QPointF(box.center().x(), box.top() + w * 0.02),
                     QPointF(box.center().x(), box.top() + w * 0.46));
}

void drawCheckGlyph(QPainter& painter, const QRectF& box, const QColor& colour) {
    const qreal w = box.width();
    QPainterPath tick;
    tick.moveTo(box.left() + w * 0.1, box.top() + w * 0.52);
    tick.lineTo(box.left() + w * 0.38, box.top() + w * 0.8);
    tick.lineTo(box.right() - w * 0.08, box.top() + w * 0.22);
    painter.setPen(roundPen(colour, glyphStroke(box) * 1.15));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(tick);
}

void drawCrossGlyph(QPainter& painter, const QRectF& box, const QColor& colour) {
    const QRectF r = box.adjusted(box.width() * 0.18, box.width() * 0.18, -box.width() * 0.18,
                                  -box.width() * 0.18);
    painter.setPen(roundPen(colour, glyphStroke(box) * 1.1));
    painter.drawLine(r.topLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomLeft());
}

// ---------------------------------------------------------------- image buttons

struct Look {
    QColor top;
    QColor bottom;
    QColor border;
    QColor text;
};

struct ButtonStyle {
    std::array<Look, 4> looks; // indexed like kStates
    qreal radius;
    bool raised; // a solid button with a drop shadow and a top highlight
};

struct ButtonDesign {
    QString file;
    QString caption;
    QSize size;
    const ButtonStyle* style;
    Glyph glyph;
    qreal fontPx;
    qreal letterSpacing;
};

const Look& lookFor(const ButtonStyle& style, State state) {
    return style.looks[static_cast<std::size_t>(state)];
}

const ButtonStyle kPrimary{
    {{
        {QColor(0x2a, 0x7c, 0xc7), QColor(0x1a, 0x60, 0xa3), QColor(0x15, 0x52, 0x8c), Qt::white},
        {QColor(0x3a, 0x8d, 0xd8), QColor(0x22, 0x6e, 0xb6), QColor(0x19, 0x5e, 0x9e), Qt::white},
        {QColor(0x16, 0x54, 0x8f), QColor(0x14, 0x4c, 0x82), QColor(0x10, 0x40, 0x6f),
         QColor(0xe6, 0xf0, 0xfa)},
        {QColor(0xc3, 0xcc, 0xd6), QColor(0xb4, 0xbe, 0xc9), QColor(0xa7, 0xb1, 0xbc),
         QColor(0xf2, 0xf4, 0xf7)},
    }},
    6,
    true};

const ButtonStyle kDanger{
    {{
        {QColor(0xc2, 0x4b, 0x3e), QColor(0xa8, 0x38, 0x2d), QColor(0x92, 0x30, 0x27), Qt::white},
        {QColor(0xd1, 0x5a, 0x4c), QColor(0xb7, 0x43, 0x37), QColor(0x9e, 0x36, 0x2c), Qt::white},
        {QColor(0x96, 0x32, 0x28), QColor(0x8c, 0x2e, 0x25), QColor(0x7a, 0x27, 0x1f),
         QColor(0xfa, 0xe8, 0xe6)},
        {QColor(0xc3, 0xcc, 0xd6), QColor(0xb4, 0xbe, 0xc9), QColor(0xa7, 0xb1, 0xbc),
         QColor(0xf2, 0xf4, 0xf7)},
    }},
    6,
    true};

const ButtonStyle kSecondary{{{
                                 {QColor(0xff, 0xff, 0xff), QColor(0xee, 0xf2, 0xf7),
                                  QColor(0x9f, 0xb3, 0xc8), QColor(0x1f, 0x4e, 0x79)},
                                 {QColor(0xf4, 0xf9, 0xff), QColor(0xe0, 0xec, 0xf9),
                                  QColor(0x6f, 0x97, 0xc2), QColor(0x17, 0x4a, 0x7c)},
                                 {QColor(0xd6, 0xe3, 0xf1), QColor(0xdd, 0xe8, 0xf4),
                                  QColor(0x6a, 0x8c, 0xb0), QColor(0x14, 0x40, 0x6b)},
                                 {QColor(0xf3, 0xf5, 0xf7), QColor(0xec, 0xef, 0xf2),
                                  QColor(0xc9, 0xd1, 0xd9), QColor(0xa4, 0xae, 0xb8)},
                             }},
                             6,
                             true};

// Sits on the dark banner: a veil of white over whatever is behind it.
const ButtonStyle kToolbar{{{
                               {QColor(255, 255, 255, 30), QColor(255, 255, 255, 18),
                                QColor(255, 255, 255, 80), Qt::white},
                               {QColor(255, 255, 255, 64), QColor(255, 255, 255, 44),
                                QColor(255, 255, 255, 140), Qt::white},
                               {QColor(0, 20, 45, 70), QColor(0, 20, 45, 50),
                                QColor(255, 255, 255, 90), QColor(0xdc, 0xea, 0xf8)},
                               {QColor(255, 255, 255, 12), QColor(255, 255, 255, 8),
                                QColor(255, 255, 255, 40), QColor(255, 255, 255, 110)},
                           }},
                           5,
                           false};

// The paging row: small, light and quiet, so that the list stays the focus.
const ButtonStyle kPaging{{{
                              {QColor(0xff, 0xff, 0xff), QColor(0xec, 0xf1, 0xf6),
                               QColor(0xa9, 0xb8, 0xc9), QColor(0x24, 0x50, 0x7d)},
                              {QColor(0xf2, 0xf8, 0xff), QColor(0xdf, 0xeb, 0xf8),
                               QColor(0x6f, 0x97, 0xc2), QColor(0x17, 0x4a, 0x7c)},
                              {QColor(0xd3, 0xe2, 0xf2), QColor(0xdb, 0xe7, 0xf3),
                               QColor(0x6a, 0x8c, 0xb0), QColor(0x14, 0x40, 0x6b)},
                              {QColor(0xf3, 0xf5, 0xf7), QColor(0xee, 0xf1, 0xf4),
                               QColor(0xcf, 0xd6, 0xdd), QColor(0xa9, 0xb2, 0xbb)},
                          }},
                          4,
                          false};

void drawButtonBody(QPainter& painter, const ButtonStyle& style, const Look& look, State state,
                    const QRectF& body) {
    const qreal r = style.radius;
    if (style.raised && state != State::Pressed && state != State::Disabled) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x0a, 0x24, 0x40, 46));
        painter.drawRoundedRect(body.translated(0, 1.5), r, r);
    }
    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    fill.setColorAt(0, look.top);
    fill.setColorAt(1, look.bottom);
    painter.setPen(QPen(look.border, 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(body, r, r);

    if (style.raised && state != State::Pressed && state != State::Disabled) {
        painter.setPen(QPen(QColor(255, 255, 255, 60), 1));
        painter.drawLine(QPointF(body.left() + r, body.top() + 1.5),
                         QPointF(body.right() - r, body.top() + 1.5));
    }
}

void drawButtonContent(QPainter& painter, const ButtonDesign& design, const Look& look,
                       const QRectF& body) {
    const QFont font = cjkFont(design.fontPx, QFont::Bold, design.letterSpacing);
    const qreal textWidth = captionWidth(font, design.caption);
    const qreal glyphSize = design.glyph ? qRound(design.fontPx * 1.1) : 0;
    const qreal gap = design.glyph ? qRound(design.fontPx * 0.4) : 0;
    const qreal left = body.center().x() - (glyphSize + gap + textWidth) / 2;
    if (design.glyph) {
        const QRectF box(left, body.center().y() - glyphSize / 2, glyphSize, glyphSize);
        design.glyph(painter, box, look.text);
    }
    painter.setPen(look.text);
    drawTextCentredVertically(painter, font, left + glyphSize + gap, body.center().y(),
                              design.caption);
}

QImage drawButton(const ButtonDesign& design, State state) {
    QImage image = transparentImage(design.size);
    QPainter painter(&image);
    beginSmoothPainting(painter);
    const Look& look = lookFor(*design.style, state);
    // The body leaves a pixel at the bottom for the shadow; a pressed button moves
    // down into it.
    QRectF body = QRectF(QPointF(0, 0), QSizeF(design.size)).adjusted(0.5, 0.5, -0.5, -2);
    if (state == State::Pressed) {
        body.translate(0, 1);
    }
    drawButtonBody(painter, *design.style, look, state, body);
    drawButtonContent(painter, design, look, body);
    return image;
}

std::vector<ButtonDesign> buttonDesigns() {
    const QSize login(170, 40);
    const QSize toolbar(96, 36);
    const QSize bottom(120, 44);
    const QSize paging(64, 26);
    const QSize editor(100, 34);
    return {
        {"login_btn_login", "登录", login, &kPrimary, {}, 18, 10},
        {"login_btn_exit", "退出", login, &kSecondary, {}, 18, 10},
        {"main_btn_Area", "地区管理", toolbar, &kToolbar, drawPinGlyph, 14, 0},
        {"main_btn_exportTemplate", "导出模板", toolbar, &kToolbar, drawTemplateGlyph, 14, 0},
        {"main_btn_deleteAll", "全部删除", toolbar, &kToolbar, drawTrashGlyph, 14, 0},
        {"main_btn_help", "帮助", toolbar, &kToolbar, drawHelpGlyph, 14, 2},
        {"main_btn_exit", "退出", toolbar, &kToolbar, drawPowerGlyph, 14, 2},
        {"main_btn_new", "新建", bottom, &kPrimary, drawPlusGlyph, 17, 4},
        {"main_btn_delete", "删除", bottom, &kDanger, drawTrashGlyph, 17, 4},
        {"main_btn_import", "导入", bottom, &kPrimary, drawImportGlyph, 17, 4},
        {"main_btn_export", "导出", bottom, &kPrimary, drawExportGlyph, 17, 4},
        {"main_btn_first", "首页", paging, &kPaging, {}, 13, 1},
        {"main_btn_front", "上一页", paging, &kPaging, {}, 13, 0},
        {"main_btn_next", "下一页", paging, &kPaging, {}, 13, 0},
        {"main_btn_last", "尾页", paging, &kPaging, {}, 13, 1},
        {"main_btn_GoSpecialPage", "跳转", paging, &kPaging, {}, 13, 1},
        {"editor_btn_save", "保存", editor, &kPrimary, drawCheckGlyph, 15, 3},
        {"editor_btn_cance", "取消", editor, &kSecondary, drawCrossGlyph, 15, 3},
    };
}

// ---------------------------------------------------------------- application icon

// Drawn in a 256 × 256 design space: a phone holding a short list, with an area pin.
// Below 32 pixels the thin details blur into the phone, so a bolder, plainer
// drawing stands in.
void drawAppIcon(QPainter& painter, qreal size) {
    const bool compact = size < 32;
    painter.save();
    painter.scale(size / 256.0, size / 256.0);

    const QRectF tile(8, 8, 240, 240);
    QLinearGradient tileFill(tile.topLeft(), tile.bottomRight());
    tileFill.setColorAt(0, QColor(0x2f, 0x82, 0xcc));
    tileFill.setColorAt(1, QColor(0x0c, 0x3a, 0x68));
    painter.setPen(Qt::NoPen);
    painter.setBrush(tileFill);
    painter.drawRoundedRect(tile, compact ? 40 : 54, compact ? 40 : 54);

    const QColor ink = Qt::white;
    painter.setBrush(QColor(255, 255, 255, 28));
    painter.setPen(roundPen(ink, compact ? 22 : 13));
    painter.drawRoundedRect(QRectF(50, 36, 108, 184), 22, 22);
    if (compact) {
        painter.setPen(roundPen(ink, 20));
        for (qreal y : {100.0, 148.0}) {
            painter.drawLine(QPointF(84, y), QPointF(124, y));
        }
    } else {
        painter.setPen(roundPen(ink, 9));
        painter.drawLine(QPointF(90, 62), QPointF(118, 62));
        for (qreal y : {104.0, 136.0, 168.0}) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(ink);
            painter.drawEllipse(QPointF(80, y), 8, 8);
            painter.setPen(roundPen(ink, 11));
            painter.drawLine(QPointF(100, y), QPointF(132, y));
        }
    }

    const QPointF head(186, compact ? 160 : 168);
    const qreal r = compact ? 44 : 36;
    QPainterPath pin;
    pin.moveTo(head.x(), head.y() + r + 34);
    pin.arcTo(QRectF(head.x() - r, head.y() - r, 2 * r, 2 * r), 240, -300);
    pin.closeSubpath();
    painter.setPen(QPen(QColor(0x0e, 0x40, 0x70), 10, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QLinearGradient pinFill(QPointF(head.x(), head.y() - r), QPointF(head.x(), head.y() + r));
    pinFill.setColorAt(0, QColor(0xe8, 0x5d, 0x4c));
    pinFill.setColorAt(1, QColor(0xc4, 0x3c, 0x2e));
    painter.setBrush(pinFill);
    painter.drawPath(pin);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(head, compact ? 16 : 13, compact ? 16 : 13);

    painter.restore();
}

QImage drawAppIconImage(int size) {
    QImage image = transparentImage(QSize(size, size));
    QPainter painter(&image);
    beginSmoothPainting(painter);
    drawAppIcon(painter, size);
    return image;
}

// ---------------------------------------------------------------- login background

void drawLoginSky(QPainter& painter) {
    QLinearGradient sky(QPointF(0, 0), QPointF(kLoginSize.width(), kLoginSize.height()));
    sky.setColorAt(0, QColor(0x14, 0x52, 0x8a));
    sky.setColorAt(0.55, palette::navy);
    sky.setColorAt(1, palette::deepNavy);
    painter.fillRect(QRect(QPoint(0, 0), kLoginSize), sky);

    QRadialGradient glow(QPointF(250, 250), 430);
    glow.setColorAt(0, QColor(255, 255, 255, 34));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillRect(QRect(QPoint(0, 0), kLoginSize), glow);
}

// A faint dotted field, strongest behind the title, like the grid of a map sheet.
void drawLoginDots(QPainter& painter) {
    painter.setPen(Qt::NoPen);
    const QPointF focus(240, 300);
    for (int y = 12; y < kLoginSize.height(); y += 18) {
        for (int x = 12; x < 500; x += 18) {
            const qreal distance = QLineF(focus, QPointF(x, y)).length();
            const int alpha = qRound(qMax(0.0, 1.0 - distance / 360.0) * 46);
            if (alpha < 3) {
                continue;
            }
            painter.setBrush(QColor(255, 255, 255, alpha));
            painter.drawEllipse(QPointF(x, y), 1.2, 1.2);
        }
    }
}

void drawLoginWaves(QPainter& painter) {
    const qreal h = kLoginSize.height();
    const qreal w = kLoginSize.width();
    QPainterPath band;
    band.moveTo(0, h - 120);
    band.cubicTo(w * 0.3, h - 190, w * 0.55, h - 40, w, h - 130);
    band.lineTo(w, h);
    band.lineTo(0, h);
    band.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 10));
    painter.drawPath(band);

    painter.setBrush(Qt::NoBrush);
    for (int i = 0; i < 4; ++i) {
        const qreal shift = i * 14.0;
        QPainterPath line;
        line.moveTo(0, h - 96 + shift);
        line.cubicTo(w * 0.32, h - 170 + shift, w * 0.58, h - 20 + shift, w, h - 112 + shift);
        painter.setPen(QPen(QColor(255, 255, 255, 22 - i * 4), 1.2));
        painter.drawPath(line);
    }
}

void drawLoginTitle(QPainter& painter) {
    const qreal left = 64;
    painter.save();
    painter.translate(left, 176);
    drawAppIcon(painter, 64);
    painter.restore();

    painter.setPen(Qt::white);
    drawTextCentredVertically(painter, cjkFont(32, QFont::DemiBold, 1), left + 80, 208,
                              QStringLiteral("Quillon"));

    const QFont title = cjkFont(36, QFont::Bold, 2);
    painter.setPen(Qt::white);
    drawTextCentredVertically(painter, title, left, 290, QStringLiteral("手机号码采集管理系统"));

    painter.setPen(Qt::NoPen);
    painter.setBrush(palette::gold);
    painter.drawRect(QRectF(left + 2, 330, 56, 3));

    painter.setPen(palette::paleBlueText);
    drawTextCentredVertically(painter, cjkFont(16, QFont::Normal, 2), left + 2, 366,
                              QStringLiteral("号码登记 · 地区维护 · 数据交换"));
}

void drawLoginPanel(QPainter& painter) {
    const QImage shadow = softShadow(kLoginSize, kLoginPanel.translated(0, 8), 12, 120, 10);
    painter.drawImage(0, 0, shadow);

    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(kLoginPanel, 10, 10);

    const qreal left = kLoginForm.left();
    const qreal right = kLoginForm.right();
    painter.setPen(palette::panelTitle);
    drawTextCentredVertically(painter, cjkFont(22, QFont::Bold, 2), left, 163,
                              QStringLiteral("用户登录"));
    painter.setPen(QColor(0x9a, 0xab, 0xbd));
    drawTextCentredVertically(painter, cjkFont(11, QFont::Normal, 2), left + 108, 165,
                              QStringLiteral("USER LOGIN"));

    painter.setPen(QPen(palette::panelRule, 1));
    painter.drawLine(QPointF(left, 196.5), QPointF(right, 196.5));
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette::blue);
    painter.drawRect(QRectF(left, 195, 88, 3));
}

void drawLoginFooter(QPainter& painter) {
    painter.setPen(QColor(0x9c, 0xbb, 0xdb, 150));
    const QFont font = cjkFont(12, QFont::Normal, 1);
    const QString text = QStringLiteral("Quillon  手机号码采集管理系统");
    const qreal width = captionWidth(font, text);
    drawTextCentredVertically(painter, font, (kLoginSize.width() - width) / 2, 612, text);
}

QImage drawLoginBackground() {
    QImage image(kLoginSize, QImage::Format_RGB32);
    QPainter painter(&image);
    beginSmoothPainting(painter);
    drawLoginSky(painter);
    drawLoginDots(painter);
    drawLoginWaves(painter);
    drawLoginTitle(painter);
    drawLoginPanel(painter);
    drawLoginFooter(painter);
    return image;
}

// ---------------------------------------------------------------- banner

QImage drawBanner() {
    QImage image(kBannerSize, QImage::Format_RGB32);
    QPainter painter(&image);
    beginSmoothPainting(painter);
    const int lineY = kBannerSize.height() - 2;

    QLinearGradient body(QPointF(0, 0), QPointF(0, lineY));
    body.setColorAt(0, palette::bannerTop);
    body.setColorAt(1, palette::bannerBottom);
    painter.fillRect(QRect(0, 0, kBannerSize.width(), lineY), body);

    // The left end is darker and fades out well before the plain part begins.
    QLinearGradient shade(QPointF(0, 0), QPointF(kBannerPlainFrom - 40, 0));
    shade.setColorAt(0, withAlpha(palette::deepNavy, 200));
    shade.setColorAt(1, withAlpha(palette::deepNavy, 0));
    painter.fillRect(QRect(0, 0, kBannerPlainFrom, lineY), shade);

    painter.fillRect(QRect(0, lineY, kBannerSize.width(), 2), palette::gold);

    painter.save();
    painter.translate(14, 8);
    drawAppIcon(painter, 40);
    painter.restore();

    const qreal centreY = lineY / 2.0;
    painter.setPen(Qt::white);
    const QFont title = cjkFont(22, QFont::Bold, 1);
    drawTextCentredVertically(painter, title, 66, centreY, QStringLiteral("手机号码采集管理系统"));
    const qreal afterTitle = 66 + captionWidth(title, QStringLiteral("手机号码采集管理系统"));

    painter.setPen(QPen(QColor(255, 255, 255, 90), 1));
    painter.drawLine(QPointF(afterTitle + 14.5, centreY - 11),
                     QPointF(afterTitle + 14.5, centreY + 11));
    painter.setPen(palette::paleBlueText);
    drawTextCentredVertically(painter, cjkFont(16, QFont::Medium, 1), afterTitle + 28, centreY,
                              QStringLiteral("Quillon"));
    return image;
}

// ---------------------------------------------------------------- output

class Writer {
public:
    explicit Writer(QDir folder) : folder_(std::move(folder)) {}

    bool save(const QImage& image, const QString& file) {
        const QString path = folder_.filePath(file);
        if (!image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return false;
        }
        written_.push_back(file);
        return true;
    }

    // Lists every picture written under the prefix /images, sorted so that the file
    // does not change when the drawing order does.
    bool writeResourceList() const {
        QStringList files = written_;
        files.sort();
        QFile qrc(folder_.filePath(QStringLiteral("resources.qrc")));
        if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(qrc.fileName()));
            return false;
        }
        QTextStream out(&qrc);
        out << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n    <qresource prefix=\"/images\">\n";
        for (const QString& file : files) {
            out << "        <file>" << file << "</file>\n";
        }
        out << "    </qresource>\n</RCC>\n";
        return true;
    }

private:
    QDir folder_;
    QStringList written_;
};

bool cjkFontInstalled() {
    return QFontDatabase::families().contains(kCjkFamily);
}

bool writeAll(Writer& writer) {
    bool ok = writer.save(drawLoginBackground(), QStringLiteral("login_background.png"));
    ok = writer.save(drawBanner(), QStringLiteral("banner.png")) && ok;
    for (const ButtonDesign& design : buttonDesigns()) {
        for (State state : kStates) {
            ok =
                writer.save(drawButton(design, state), design.file + stateSuffix(state) + ".png") &&
                ok;
        }
    }
    ok = writer.save(drawAppIconImage(256), QStringLiteral("quillon.png")) && ok;
    for (int size : {16, 32, 48, 64, 128}) {
        ok = writer.save(drawAppIconImage(size), QStringLiteral("quillon_%1.png").arg(size)) && ok;
    }
    return writer.writeResourceList() && ok;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder, normally ui/resources>\n", argv[0]);
        return 2;
    }
    if (!cjkFontInstalled()) {
        std::fprintf(stderr, "font \"%s\" not found; install fonts-noto-cjk\n",
                     qPrintable(kCjkFamily));
        return 1;
    }
    QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.exists() && !QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    Writer writer(folder);
    return writeAll(writer) ? 0 : 1;
}
