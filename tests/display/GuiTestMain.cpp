// Entry point for display tests that need a QApplication: text documents
// need fonts, text views need widgets. The offscreen platform needs no X
// display, so these tests run anywhere.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
