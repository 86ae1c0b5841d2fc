// The last-image box and the help page.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QSignalSpy>
#include <QString>
#include <QtTest/QTest>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <set>
#include <string>

#include "support/test_dirs.h"
#include "ui/image_preview.h"

namespace wg {
namespace {

QString QPath(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

QImage Picture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(40, 120, 200));
    return image;
}

// Qt reads GIF but does not write it: a GIF whose screen is `width` by
// `height` with one pixel drawn; Qt decodes it at the screen's size.
bool SaveGif(const QString& path, int width, int height) {
    std::string gif = "GIF89a";
    for (const int side : {width, height}) {
        gif += {static_cast<char>(side & 0xFF), static_cast<char>(side >> 8)};
    }
    gif += std::string("\x80\0\0\xFF\xFF\xFF\0\0\0,\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0;", 25);
    std::ofstream out(path.toStdString(), std::ios::binary);
    out << gif;
    return static_cast<bool>(out);
}

TEST(PreviewSize, ScalesLargePicturesOnlyToFitTheBox) {
    struct Case {
        QSize picture;
        bool resize;
        QSize shown;
    };
    const Case cases[] = {
        {{1000, 500}, true, {280, 140}},
        {{300, 600}, true, {116, 232}},
        // Exactly the box's proportions, and only one side too large.
        {{560, 464}, true, {280, 232}},
        {{281, 10}, true, {280, 9}},
        {{10, 233}, true, {9, 232}},
        // A hair-thin picture keeps at least one line.
        {{100000, 1}, true, {280, 1}},
        // Pictures that fit, or resizing off: their own size.
        {{280, 232}, true, {280, 232}},
        {{50, 40}, true, {50, 40}},
        {{1000, 500}, false, {1000, 500}},
        {{0, 0}, true, {0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PreviewSize(c.picture, c.resize), c.shown)
            << c.picture.width() << "x" << c.picture.height() << " " << c.resize;
    }
}

TEST(PreviewBox, ShowsDecodedPicturesScaled) {
    test::TempDir dir;
    ImagePreview box;
    EXPECT_EQ(box.size(), QSize(280, 232));
    EXPECT_TRUE(box.ShownSize().isEmpty());

    struct Case {
        const char* name;
        const char* format;
        QSize size;
        QSize shown;
    };
    const Case cases[] = {
        {"wide.png", "PNG", QSize(1000, 500), QSize(280, 140)},
        {"tall.jpg", "JPG", QSize(300, 600), QSize(116, 232)},
        {"small.bmp", "BMP", QSize(64, 48), QSize(64, 48)},
        {"anim.gif", "GIF", QSize(600, 300), QSize(280, 140)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = QPath(dir / c.name);
        if (std::string(c.format) == "GIF") {
            ASSERT_TRUE(SaveGif(path, c.size.width(), c.size.height()));
        } else {
            ASSERT_TRUE(Picture(c.size.width(), c.size.height()).save(path, c.format));
        }
        EXPECT_TRUE(box.ShowPicture(path, true));
        EXPECT_EQ(box.ShownSize(), c.shown);
    }

    // Resizing off: shown at its own size, clipped by the box that stays put.
    const QString big = QPath(dir / "big.png");
    ASSERT_TRUE(Picture(900, 700).save(big, "PNG"));
    EXPECT_TRUE(box.ShowPicture(big, false));
    EXPECT_EQ(box.ShownSize(), QSize(900, 700));
    EXPECT_EQ(box.size(), QSize(280, 232));

    // A picture under the wrong extension is still shown.
    const QString misnamed = QPath(dir / "really-a-png.jpg");
    ASSERT_TRUE(Picture(20, 10).save(misnamed, "PNG"));
    EXPECT_TRUE(box.ShowPicture(misnamed, true));
    EXPECT_EQ(box.ShownSize(), QSize(20, 10));
}

TEST(PreviewBox, UndecodableFileLeavesTheBoxAlone) {
    test::TempDir dir;
    ImagePreview box;
    const QString good = QPath(dir / "good.png");
    ASSERT_TRUE(Picture(100, 50).save(good, "PNG"));
    ASSERT_TRUE(box.ShowPicture(good, true));

    const auto junk = dir / "junk.jpg";
    {
        std::mt19937 random(7);
        std::ofstream out(junk, std::ios::binary);
        for (int i = 0; i < 4096; ++i) {
            out.put(static_cast<char>(random() & 0xFF));
        }
    }
    EXPECT_FALSE(box.ShowPicture(QPath(junk), true));
    EXPECT_FALSE(box.ShowPicture(QPath(dir / "missing.png"), true));
    const auto empty = dir / "empty.gif";
    std::ofstream(empty).close();
    EXPECT_FALSE(box.ShowPicture(QPath(empty), true));
    EXPECT_EQ(box.ShownSize(), QSize(100, 50));
}

TEST(PreviewBox, ShowsPlaceholderAndReportsClicks) {
    ImagePreview box;
    box.show();
    box.ShowPlaceholder();
    EXPECT_EQ(box.ShownSize(), QSize(280, 232));

    QSignalSpy spy(&box, &ImagePreview::clicked);
    QTest::mouseClick(&box, Qt::LeftButton);
    EXPECT_EQ(spy.count(), 1);
    QTest::mouseClick(&box, Qt::RightButton);
    EXPECT_EQ(spy.count(), 1);
}

TEST(HelpPage, HasTheAnchorsTheWindowsOpen) {
    const std::string html =
        test::ReadWholeFile(std::filesystem::path(WG_SOURCE_DIR) / "docs" / "help.html");
    ASSERT_FALSE(html.empty());
    std::set<std::string> ids;
    const std::regex idAttribute(R"(\bid\s*=\s*"([^"]*)\")");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), idAttribute);
         it != std::sregex_iterator(); ++it) {
        EXPECT_TRUE(ids.insert((*it)[1].str()).second) << "duplicate id " << (*it)[1].str();
    }
    for (const char* anchor : {"1", "2", "3", "4", "5", "help5"}) {
        EXPECT_EQ(ids.count(anchor), 1u) << "missing anchor " << anchor;
    }
    // A page that opens from the disk: nothing fetched, nothing run.
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("src=\"http"), std::string::npos);
    EXPECT_EQ(html.find("href=\"http"), std::string::npos);
    EXPECT_EQ(html.find("@import"), std::string::npos);
}

}  // namespace
}  // namespace wg
