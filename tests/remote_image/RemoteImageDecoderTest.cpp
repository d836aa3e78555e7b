#include "LoaderWorld.h"

#include "remote_image/RemoteImageDecoder.h"
#include "support/TestImages.h"

#include <gtest/gtest.h>

#include <iostream>
#include <optional>

namespace tolvaran::markdown {
namespace {

using Kind = RemoteImageErrorKind;

TEST(RemoteImageDecoder, decodesImagesAndRefusesTheRest)
{
    const QSize budgetSide(4096, 4096);
    const struct
    {
        const char *name;
        QByteArray bytes;
        bool needsSvg;
        std::optional<Kind> error;
        QSize size;
    } rows[] = {
        {"png", fixtures::pngImage({30, 10}), false, {}, {30, 10}},
        {"svg", fixtures::svgImage({90, 20}), true, {}, {90, 20}},
        {"empty", {}, false, Kind::cannotDecodeContentData, {}},
        {"html", "<!DOCTYPE html><html><body>Not here</body></html>", false,
         Kind::cannotDecodeContentData, {}},
        {"png cut short", fixtures::pngImage({30, 10}).left(20), false,
         Kind::cannotDecodeContentData, {}},
        {"png declaring 100000 x 100000", fixtures::pngDeclaringSize({100000, 100000}), false,
         Kind::imageTooLarge, {}},
        {"png declaring one row over the budget",
         fixtures::pngDeclaringSize(budgetSide + QSize(0, 1)), false, Kind::imageTooLarge, {}},
        {"svg declaring 100000 x 100000", fixtures::svgImage({100000, 100000}), true,
         Kind::imageTooLarge, {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        if (row.needsSvg && !svgSupported()) {
            std::cout << "Skipping " << row.name << ": Qt's SVG image plug-in is not installed\n";
            continue;
        }
        const RemoteImageResult result = RemoteImageDecoder::decode(row.bytes);
        EXPECT_EQ(result.succeeded(), !row.error);
        if (row.error) {
            EXPECT_EQ(result.error().kind, *row.error);
        } else {
            EXPECT_EQ(result.image().size(), row.size);
        }
    }
}

} // namespace
} // namespace tolvaran::markdown
