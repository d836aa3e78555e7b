#pragma once

#include <QStringList>

namespace tolvaran::markdown {

// Shuts the decoding process in, once it has loaded all it loads as it starts (Qt's
// plug-ins, the font configuration) and before it reads a byte from outside:
// - Landlock: no file may be written, made or removed anywhere, and only the folders that
//   decoding reads from may be read (the system's libraries and the fonts with their
//   configuration and caches); on kernels from 6.7 no TCP connection may be made, and from
//   6.12 no abstract socket reached nor any other process signalled;
// - a seccomp filter (libseccomp): no socket, no new process or program, no tracing, no
//   mounts or namespaces, whatever the kernel's Landlock allows.
// Both where the kernel has them: Landlock since Linux 5.13 where it is enabled, seccomp on
// every kernel Debian ships.
class DecoderSandbox final
{
public:
    // What the process could shut itself into.
    struct Entered
    {
        // The Landlock version the kernel offers; 0 where it offers none.
        int landlockVersion = 0;
        bool seccomp = false;
    };

    // The folders the process reads as it decodes.
    static QStringList readableFolders();
    // Shuts the calling thread in, and every thread it starts from now on (threads started
    // before keep Landlock's freedom, not seccomp's). False only where the kernel offers a
    // sandbox and refused it: the process must then not decode.
    static bool enter(const QStringList &readable, Entered *entered);
};

} // namespace tolvaran::markdown
