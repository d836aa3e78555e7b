#pragma once

#include <QSslCertificate>
#include <QSslKey>

namespace tolvaran::fixtures {

// A key and a certificate signed with it for the loopback host (127.0.0.1 and localhost),
// made with OpenSSL when first asked for and shared by the process's tests: what a local
// https server presents, and what a test's own network access trusts. Null where the
// certificate could not be made.
struct SelfSignedCertificate final
{
    QSslCertificate certificate;
    QSslKey key;

    static const SelfSignedCertificate &loopback();
};

} // namespace tolvaran::fixtures
