// The canvas a grid's cells are drawn on: it keeps what it learnt of the texts it wrote between
// paints, so that a repaint of what is shown lays out nothing anew.
#include "framework/Grids_p.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTextOption>

namespace {

// Texts kept between paints beyond those of the last paint: enough for every cell of a large grid.
constexpr int KeptTexts = 1024;

} // namespace

TGridCanvas::TGridCanvas() : d(std::make_unique<TGridCanvasPrivate>()) {}

TGridCanvas::~TGridCanvas() = default;

TGridCanvas::TBrush& TGridCanvas::Brush()
{
    return d->FBrush;
}

const TGridCanvas::TBrush& TGridCanvas::Brush() const
{
    return d->FBrush;
}

const QFont& TGridCanvas::Font() const
{
    return d->FFont;
}

void TGridCanvas::SetFont(const QFont& Value)
{
    d->FFont = Value;
}

const QColor& TGridCanvas::FontColor() const
{
    return d->FFontColor;
}

void TGridCanvas::SetFontColor(const QColor& Value)
{
    d->FFontColor = Value;
}

const TGridCanvasPrivate::TFontData& TGridCanvasPrivate::FontData() const
{
    if (FMetrics && FMetrics->Font == FFont)
        return *FMetrics;
    const QFontMetrics Metrics(FFont);
    FMetrics = TFontData{FFont, Metrics.height(), Metrics.ascent()};
    // What was measured in another font has other widths.
    FTexts.clear();
    FLast = nullptr;
    return *FMetrics;
}

TGridCanvasPrivate::TText& TGridCanvasPrivate::Known(const QString& Text) const
{
    FontData();
    if (FLast && Text.constData() == FLastText.constData() && Text.size() == FLastText.size())
        return *FLast;
    auto Found = FTexts.find(Text);
    if (Found == FTexts.end()) {
        const QFontMetrics Metrics(FFont);
        TText Known;
        Known.Width = Metrics.horizontalAdvance(Text);
        if (!Text.isEmpty()) {
            Known.InkLeft = std::min(0, Metrics.leftBearing(Text.front()));
            Known.InkRight = std::min(0, Metrics.rightBearing(Text.back()));
        }
        Found = FTexts.insert(Text, Known);
    }
    FLastText = Text;
    FLast = &*Found;
    return *Found;
}

int TGridCanvas::TextWidth(const QString& Text) const
{
    // Outside a paint nothing is kept, so that the texts cannot pile up.
    return d->FPainter ? d->Known(Text).Width : QFontMetrics(d->FFont).horizontalAdvance(Text);
}

int TGridCanvas::TextHeight(const QString&) const
{
    return d->FontData().Height;
}

void TGridCanvas::FillRect(const QRect& Rect)
{
    TGridCanvasPrivate& D = *d;
    if (Rect == D.FFilled && D.FBrush.Color == D.FFilledColor)
        return;
    D.FPainter->fillRect(Rect, D.FBrush.Color);
    D.FFilled = Rect;
    D.FFilledColor = D.FBrush.Color;
}

void TGridCanvas::TextRect(const QRect& Rect, int X, int Y, const QString& Text)
{
    TGridCanvasPrivate& D = *d;
    FillRect(Rect);
    if (D.FOnText)
        D.FOnText(Rect, X, Y, Text);
    if (Text.isEmpty())
        return;
    D.FFilled = QRect();
    const TGridCanvasPrivate::TFontData& Data = D.FontData();
    TGridCanvasPrivate::TText& Known = D.Known(Text);
    if (!(D.FPainterFont == D.FFont) || !(D.FPainter->font() == D.FPainterCopy)) {
        D.FPainter->setFont(D.FFont);
        D.FPainterFont = D.FFont;
        D.FPainterCopy = D.FPainter->font();
    }
    if (const QPen& Pen = D.FPainter->pen();
        Pen.style() != Qt::SolidLine || Pen.brush().style() != Qt::SolidPattern || Pen.color() != D.FFontColor)
        D.FPainter->setPen(D.FFontColor);
    // Clipping costs a save and a restore of the painter: only a text that may reach out of its
    // cell pays for it.
    const bool Inside = X + Known.InkLeft >= Rect.left() && X + Known.Width - Known.InkRight <= Rect.right() + 1 &&
                        Y >= Rect.top() && Y + Data.Height <= Rect.bottom() + 1;
    if (!Inside) {
        D.FPainter->save();
        D.FPainter->setClipRect(Rect, Qt::IntersectClip);
    }
    // Laying a text out to keep it costs more than writing it once: only a text met again is kept.
    if (Known.LastPaint == 0) {
        D.FPainter->drawText(QPoint(X, Y + Data.Ascent), Text);
    } else {
        if (!Known.Repeated) {
            Known.Glyphs.setTextFormat(Qt::PlainText);
            // In the reading order the first write had, which is the painter's.
            if (D.FPainter->layoutDirection() == Qt::RightToLeft) {
                QTextOption Reading(Qt::AlignLeft | Qt::AlignAbsolute);
                Reading.setTextDirection(Qt::RightToLeft);
                Known.Glyphs.setTextOption(Reading);
            }
            Known.Glyphs.setText(Text);
            Known.Glyphs.prepare(D.FPainter->transform(), D.FFont);
            Known.Repeated = true;
        }
        D.FPainter->drawStaticText(QPoint(X, Y), Known.Glyphs);
    }
    Known.LastPaint = D.FPaint;
    if (!Inside)
        D.FPainter->restore();
}

QPainter* TGridCanvas::Painter()
{
    // Whoever draws directly may draw over the last fill or change the painter's font.
    d->ForgetPainterState();
    return d->FPainter;
}

void TGridCanvas::BeginPaint(QPainter* Painter)
{
    d->FPainter = Painter;
    // 0 marks a text never written.
    if (++d->FPaint == 0) {
        d->FTexts.clear();
        d->FPaint = 1;
    }
    d->FLast = nullptr;
    d->ForgetPainterState();
}

void TGridCanvas::EndPaint()
{
    d->FPainter = nullptr;
    d->ForgetPainterState();
    if (d->FTexts.size() <= KeptTexts)
        return;
    d->FLast = nullptr;
    for (auto Text = d->FTexts.begin(); Text != d->FTexts.end();)
        Text = Text->LastPaint == d->FPaint ? std::next(Text) : d->FTexts.erase(Text);
}

void TGridCanvasPrivate::ForgetPainterState()
{
    FFilled = QRect();
    FPainterFont = QFont();
    FPainterCopy = QFont();
}
