// One-line ASCII drawn as glyph runs: it must land where Qt's own text
// drawing puts it, stay inside its box, and leave the rest to Qt.

#include "widgets/glyph_run_text.h"

#include "support/qt_app.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace orbalis;
using namespace orbalis::test;

TEST(GlyphRunText, DrawsWhereQtDrawsAndStaysInTheCell)
{
    qtApp();
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QFont plain = QApplication::font();
    const QRect cell(10, 4, 150, 20);
    const auto ink = [&](const QFont &font, int flags, const QString &text, bool glyphRuns, bool *drawn) {
        QImage image(200, 30, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.setFont(font);
        p.setPen(Qt::black);
        GlyphRunText runs;
        *drawn = glyphRuns ? runs.draw(p, cell, flags, text) : (p.drawText(cell, flags, text), true);
        p.end();
        QRect box;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 160)
                    box |= QRect(x, y, 1, 1);
        return box;
    };
    const int left = Qt::AlignLeft | Qt::AlignVCenter, right = Qt::AlignRight | Qt::AlignVCenter;
    const struct {
        QFont font;
        int flags;
        QString text;
    } cases[] = {
        {plain, left, QStringLiteral("16:14:03.125")},
        {plain, right, QStringLiteral("1 204")},
        {plain, left, QStringLiteral("CRC error")},
        {fixed, left, QStringLiteral("01 04 10 00 00 1E F4 C2")},
        // Cut at the cell's edge, as a frame's hex is.
        {fixed, left, QStringLiteral("01 04 3C ") + QStringLiteral("11 ").repeated(60)},
        {plain, right, QStringLiteral("99.8 % answered, and more than the cell holds")},
        {plain, int(Qt::AlignCenter), QStringLiteral("Good, 43 ms")},
    };
    for (const auto &c : cases) {
        bool byQt = false, byRuns = false;
        const QRect expected = ink(c.font, c.flags, c.text, false, &byQt);
        const QRect got = ink(c.font, c.flags, c.text, true, &byRuns);
        ASSERT_TRUE(byRuns) << c.text.toStdString();
        EXPECT_TRUE(cell.contains(got)) << c.text.toStdString();
        EXPECT_NEAR(got.left(), expected.left(), 1) << c.text.toStdString();
        EXPECT_NEAR(got.right(), expected.right(), 2) << c.text.toStdString();
        EXPECT_NEAR(got.top(), expected.top(), 1) << c.text.toStdString();
        EXPECT_NEAR(got.bottom(), expected.bottom(), 1) << c.text.toStdString();
        // Its width decides whether a status panel shows the text whole.
        GlyphRunText runs;
        const auto width = runs.width(c.font, c.text);
        ASSERT_TRUE(width.has_value()) << c.text.toStdString();
        EXPECT_NEAR(*width, QFontMetricsF(c.font).horizontalAdvance(c.text), 2) << c.text.toStdString();
    }
    // Another script, a control character: nothing drawn, Qt takes them.
    for (const QString &text : {QStringLiteral("爐 1"), QStringLiteral("a\tb"), QStringLiteral("é")}) {
        bool drawn = true;
        EXPECT_TRUE(ink(plain, left, text, true, &drawn).isNull()) << text.toStdString();
        EXPECT_FALSE(drawn) << text.toStdString();
        GlyphRunText runs;
        EXPECT_FALSE(runs.width(plain, text).has_value()) << text.toStdString();
    }
}
