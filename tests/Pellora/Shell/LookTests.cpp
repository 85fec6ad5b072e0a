#include <string>

#include <QPalette>
#include <gtest/gtest.h>

#include "Pellora/Shell/Brand.h"
#include "Pellora/Shell/Symbols.h"

namespace pellora {
namespace {

TEST(Brand, AccentFollowsTheAppearance) {
    QPalette light;
    light.setColor(QPalette::Window, QColor(236, 236, 236));
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(40, 40, 40));
    EXPECT_EQ(Brand::accent(light), QColor(13, 71, 161));
    EXPECT_EQ(Brand::accent(dark), QColor(66, 165, 245));
    EXPECT_EQ(Brand::withOpacity(QColor(13, 71, 161), 0.13).alpha(), 33);
}

TEST(Symbols, EveryNamedSymbolHasADrawingThatTintsToOneColour) {
    const char* symbols[] = {"arrowshape.turn.up.left", "checklist", "magnifyingglass", "sparkles",
                             "doc.on.clipboard", "arrow.triangle.2.circlepath", "gearshape", "heart",
                             "heart.fill", "power", "envelope.arrow.triangle.branch", "arrow.triangle.branch",
                             "text.bubble", "clock.arrow.circlepath", "checkmark.circle.fill",
                             "exclamationmark.triangle.fill", "tray.and.arrow.down", "paperplane",
                             "bubble.left.and.bubble.right", "folder", "square.and.pencil", "eye.slash",
                             "lock.shield.fill", "hand.raised", "text.quote", "plus", "minus"};
    for (const char* symbol : symbols) {
        SCOPED_TRACE(symbol);
        EXPECT_TRUE(Symbols::isBundled(symbol));
        const QImage image = Symbols::tinted(symbol, 20, QColor(13, 71, 161), 2.0).toImage();
        ASSERT_EQ(image.size(), QSize(40, 40));
        int inked = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (pixel.alpha() == 255) { // edges are blended
                    ++inked;
                    EXPECT_EQ(pixel.rgb() & 0xFFFFFF, QColor(13, 71, 161).rgb() & 0xFFFFFF);
                }
            }
        EXPECT_GT(inked, 20);
    }
    EXPECT_TRUE(Symbols::icon("no.such.symbol").isNull());
}

} // namespace
} // namespace pellora
