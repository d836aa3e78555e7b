#pragma once

#include <QImage>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QNetworkAccessManager;
class QObject;

namespace tolvaran::markdown {

// Where the pixels of an image inside a line of text come from. `completion` is called once,
// on the GUI thread, with the image (none when it could not be had), unless `context` is
// gone by then.
class InlineImageProvider
{
public:
    using Completion = std::function<void(const std::optional<QImage> &image)>;

    virtual ~InlineImageProvider() = default;
    virtual void image(const QUrl &url, const QString &label, const QUrl &imageBaseURL,
                       QObject *context, Completion completion) const = 0;

protected:
    InlineImageProvider() = default;
    InlineImageProvider(const InlineImageProvider &) = default;
    InlineImageProvider &operator=(const InlineImageProvider &) = default;
};

// Images through the process-wide loader (network and image-base files), whatever loader a
// view was given.
class DefaultInlineImageProvider final : public InlineImageProvider
{
public:
    DefaultInlineImageProvider() = default;
    // The older form that named a network session: the session is ignored.
    [[deprecated("use DefaultInlineImageProvider()")]] explicit DefaultInlineImageProvider(
        QNetworkAccessManager *)
    {
    }

    void image(const QUrl &url, const QString &label, const QUrl &imageBaseURL,
               QObject *context, Completion completion) const override;
};

// Images by name from a folder of the program (Qt's resources, ":/" unless given); the name
// is the URL's last path component unless `name` says otherwise. Answers at once.
class AssetInlineImageProvider final : public InlineImageProvider
{
public:
    explicit AssetInlineImageProvider(std::function<QString(const QUrl &)> name = {},
                                      QString folder = QStringLiteral(":/"));
    void image(const QUrl &url, const QString &label, const QUrl &imageBaseURL,
               QObject *context, Completion completion) const override;

private:
    std::function<QString(const QUrl &)> m_name;
    QString m_folder;
};

} // namespace tolvaran::markdown
