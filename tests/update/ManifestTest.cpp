#include "support/QtPrinters.h"
#include "update/AppUpdateError.h"
#include "update/AppUpdateManifest.h"
#include "update/AppUpdateService.h"

#include <gtest/gtest.h>

namespace tolvaran {
namespace {

const QString hash64 = QString(64, QLatin1Char('a'));

AppUpdateManifest validManifest()
{
    return {"26.9.1", hash64, 1024, "/v1/app/releases/26.9.1/download", "2026-12-01"};
}

TEST(AppUpdateManifest, decodesAllFiveKeysAndIgnoresOthers)
{
    const AppUpdateManifest manifest = AppUpdateManifest::decode(
        R"({"version":"26.9.1","sha256":"ab","size":12,"downloadPath":"/p",)"
        R"("publishedAt":"later","extra":true})");
    EXPECT_EQ(manifest, (AppUpdateManifest{"26.9.1", "ab", 12, "/p", "later"}));
}

TEST(AppUpdateManifest, refusesMissingKeysAndWrongTypes)
{
    const char *const bodies[] = {
        "",
        "[]",
        "not json",
        R"({"sha256":"ab","size":12,"downloadPath":"/p","publishedAt":"x"})",
        R"({"version":"26.9.1","size":12,"downloadPath":"/p","publishedAt":"x"})",
        R"({"version":"26.9.1","sha256":"ab","downloadPath":"/p","publishedAt":"x"})",
        R"({"version":"26.9.1","sha256":"ab","size":12,"publishedAt":"x"})",
        R"({"version":"26.9.1","sha256":"ab","size":12,"downloadPath":"/p"})",
        R"({"version":26,"sha256":"ab","size":12,"downloadPath":"/p","publishedAt":"x"})",
        R"({"version":"26.9.1","sha256":"ab","size":"12","downloadPath":"/p","publishedAt":"x"})",
        R"({"version":"26.9.1","sha256":"ab","size":1.5,"downloadPath":"/p","publishedAt":"x"})",
        R"({"version":"26.9.1","sha256":null,"size":12,"downloadPath":"/p","publishedAt":"x"})",
    };
    for (const char *body : bodies) {
        SCOPED_TRACE(body);
        try {
            AppUpdateManifest::decode(body);
            ADD_FAILURE() << "decoded";
        } catch (const AppUpdateError &error) {
            EXPECT_EQ(error.kind(), AppUpdateError::Kind::invalidManifest);
            EXPECT_EQ(error.message(), "The update information is invalid.");
        }
    }
}

TEST(AppUpdateManifest, validationRules)
{
    struct Row
    {
        const char *name;
        void (*change)(AppUpdateManifest &);
        bool valid;
    };
    const Row rows[] = {
        {"as published", [](AppUpdateManifest &) {}, true},
        {"upper-case hash", [](AppUpdateManifest &m) { m.sha256 = m.sha256.toUpper(); }, true},
        {"largest size", [](AppUpdateManifest &m) { m.size = 104'857'600; }, true},
        {"two-digit minor",
         [](AppUpdateManifest &m) {
             m.version = "26.10.1";
             m.downloadPath = "/v1/app/releases/26.10.1/download";
         },
         true},
        {"size 0", [](AppUpdateManifest &m) { m.size = 0; }, false},
        {"negative size", [](AppUpdateManifest &m) { m.size = -5; }, false},
        {"size over the limit", [](AppUpdateManifest &m) { m.size = 104'857'601; }, false},
        {"63 hex digits", [](AppUpdateManifest &m) { m.sha256.chop(1); }, false},
        {"65 hex digits", [](AppUpdateManifest &m) { m.sha256 += 'a'; }, false},
        {"non-hex digit", [](AppUpdateManifest &m) { m.sha256[10] = 'g'; }, false},
        {"one-digit major",
         [](AppUpdateManifest &m) {
             m.version = "6.9.1";
             m.downloadPath = "/v1/app/releases/6.9.1/download";
         },
         false},
        {"two parts",
         [](AppUpdateManifest &m) {
             m.version = "26.9";
             m.downloadPath = "/v1/app/releases/26.9/download";
         },
         false},
        {"trailing line break",
         [](AppUpdateManifest &m) {
             m.version = "26.9.1\n";
             m.downloadPath = "/v1/app/releases/26.9.1\n/download";
         },
         false},
        {"path of another version",
         [](AppUpdateManifest &m) { m.downloadPath = "/v1/app/releases/26.9.2/download"; }, false},
        {"path in other case",
         [](AppUpdateManifest &m) { m.downloadPath = "/v1/app/releases/26.9.1/Download"; }, false},
        {"path with a trailing slash",
         [](AppUpdateManifest &m) { m.downloadPath += '/'; }, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        AppUpdateManifest manifest = validManifest();
        row.change(manifest);
        bool valid = true;
        try {
            validateManifest(manifest);
        } catch (const AppUpdateError &error) {
            EXPECT_EQ(error.kind(), AppUpdateError::Kind::invalidManifest);
            valid = false;
        }
        EXPECT_EQ(valid, row.valid);
    }
}

TEST(AppUpdateManifest, versionsCompareNumericallyPartByPart)
{
    struct Row
    {
        const char *candidate;
        const char *current;
        bool newer;
    };
    const Row rows[] = {
        {"26.10.1", "26.9.70", true},  {"26.8.71", "26.8.70", true},
        {"27.0.0", "26.99.99", true},  {"26.8.70", "26.8.70", false},
        {"26.8.69", "26.8.70", false}, {"25.12.1", "26.1.1", false},
        {"26.9.1", "26.8", false},     {"26.9.1", "26.8.70.1", false},
        {"26.x.1", "26.8.70", false},  {"26..9.1", "26.8.70", true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.candidate) + " over " + row.current);
        EXPECT_EQ(isVersionNewer(row.candidate, row.current), row.newer);
    }
}

TEST(AppUpdateServiceRequest, buildsRequestsOnlyForHttpAndTheAppPaths)
{
    struct Row
    {
        const char *server;
        const char *path;
        const char *url; // nullptr: no request
    };
    const Row rows[] = {
        {"https://updates.example", "/v1/app/update", "https://updates.example/v1/app/update"},
        {"HTTP://127.0.0.1:8080", "/v1/app/update", "http://127.0.0.1:8080/v1/app/update"},
        {"https://host/base/", "/v1/app/update", "https://host/base/v1/app/update"},
        {"http://localhost:8080", "/v1/app/update", "http://localhost:8080/v1/app/update"},
        {"http://updates.example", "/v1/app/update", nullptr},
        {"http://127.0.0.2:8080", "/v1/app/update", nullptr},
        {"ftp://host", "/v1/app/update", nullptr},
        {"host-without-scheme", "/v1/app/update", nullptr},
        {"https://host", "/v1/team/snapshot", nullptr},
        {"https://host", "v1/app/update", nullptr},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.server) + row.path);
        const auto request = AppUpdateService::updateRequest(row.server, row.path, "26.8.70");
        if (!row.url) {
            EXPECT_FALSE(request.has_value());
            continue;
        }
        ASSERT_TRUE(request.has_value());
        EXPECT_EQ(request->url().toString(), QString::fromLatin1(row.url));
        EXPECT_EQ(request->rawHeader("Accept"), "application/json");
        EXPECT_EQ(request->rawHeader("X-Tolvaran-Version"), "26.8.70");
        EXPECT_EQ(request->transferTimeout(), 120'000);
        EXPECT_EQ(request->attribute(QNetworkRequest::RedirectPolicyAttribute).toInt(),
                  QNetworkRequest::SameOriginRedirectPolicy);
    }
}

} // namespace
} // namespace tolvaran
