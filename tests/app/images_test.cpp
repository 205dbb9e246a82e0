#include "app/images.h"
#include "tests/support/qt_app.h"

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdlib>
#include <gtest/gtest.h>

namespace sornafex {
namespace {

QImage Render(const QIcon& icon, int size) {
    return icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

TEST(ApplicationIcon, IsThePictureTheDesktopShows) {
    test::EnsureQtApp();
    const char* sourceDir = std::getenv("SORNAFEX_SOURCE_DIR");
    ASSERT_NE(sourceDir, nullptr);
    QSvgRenderer installed(QString::fromUtf8(sourceDir) +
                           QStringLiteral("/app/install/sornafex.svg"));
    ASSERT_TRUE(installed.isValid());
    for (const int size : {16, 32, 128}) {
        QImage expected(size, size, QImage::Format_ARGB32_Premultiplied);
        expected.fill(Qt::transparent);
        QPainter painter(&expected);
        painter.setRenderHint(QPainter::Antialiasing);
        installed.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        EXPECT_EQ(Render(ApplicationIcon(), size), expected) << size;
    }
}

} // namespace
} // namespace sornafex
