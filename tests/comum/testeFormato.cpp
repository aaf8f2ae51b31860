#include <gtest/gtest.h>

#include "comum/uFormato.h"

using namespace ljsn;

// The log and the phrases use printf formats; a mismatch must give nothing,
// never undefined behaviour.
TEST(Formato, Placeholders) {
    EXPECT_EQ(Formatar("%d:%.2d", 3, 7), "3:07");
    EXPECT_EQ(Formatar("%-10s|", "[FIM]"), "[FIM]     |");
    EXPECT_EQ(Formatar("%-10s|", "[NOTICIAS]"), "[NOTICIAS]|");
    EXPECT_EQ(Formatar("%s: 0x%.8x", "GetAsync", -2147024894), "GetAsync: 0x80070002");
    EXPECT_EQ(Formatar("volume %d%%", 80), "volume 80%");
    EXPECT_EQ(Formatar("%5d|%-5d|%05d", 42, 42, -42), "   42|42   |-0042");
    EXPECT_EQ(Formatar("%.1f", 2.25), "2.2");
    EXPECT_EQ(Formatar("%s", std::string("ação")), "ação");
    EXPECT_EQ(Formatar("%6s|", "ção"), "   ção|");
}

TEST(Formato, ErrosNaoFormatam) {
    EXPECT_FALSE(Formatar("%d"));
    EXPECT_FALSE(Formatar("%d", "texto"));
    EXPECT_FALSE(Formatar("%s", 3));
    EXPECT_FALSE(Formatar("%q", 3));
    EXPECT_FALSE(Formatar("fim %"));
    EXPECT_EQ(FormatarOuFormato("%d e %d", 1), "%d e %d");
}
