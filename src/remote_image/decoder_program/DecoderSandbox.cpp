#include "remote_image/decoder_program/DecoderSandbox.h"

#include "work/FileDescriptor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>

#include <fontconfig/fontconfig.h>
#include <seccomp.h>

#include <cerrno>

#include <fcntl.h>
#include <linux/landlock.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tolvaran::markdown {

namespace {

// The rights Landlock knows of, by the version that brought them. The system's headers may
// be older than its kernel: the later ones are named here.
constexpr quint64 fsRightsOfVersion1 = (quint64(1) << 13) - 1; // execute .. make symlinks
constexpr quint64 fsRefer = quint64(1) << 13;                  // version 2
constexpr quint64 fsTruncate = quint64(1) << 14;               // version 3
constexpr quint64 fsIoctlDevice = quint64(1) << 15;            // version 5
constexpr quint64 netBindAndConnectTcp = 0x3;                  // version 4
constexpr quint64 scopeAbstractSocketsAndSignals = 0x3;        // version 6
constexpr quint64 readRights = LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR;

// The ruleset's attributes as the newest kernels read them; older ones are given only the
// fields they know (the size passed tells them).
struct RulesetAttributes
{
    quint64 handledFs = 0;
    quint64 handledNet = 0;
    quint64 scoped = 0;
};

int landlockVersion()
{
    const long version = ::syscall(SYS_landlock_create_ruleset, nullptr, 0,
                                   LANDLOCK_CREATE_RULESET_VERSION);
    return version > 0 ? int(version) : 0;
}

RulesetAttributes rulesetFor(int version, size_t *size)
{
    RulesetAttributes attributes;
    attributes.handledFs = fsRightsOfVersion1 | (version >= 2 ? fsRefer : 0)
                           | (version >= 3 ? fsTruncate : 0) | (version >= 5 ? fsIoctlDevice : 0);
    *size = sizeof(quint64);
    if (version >= 4) {
        attributes.handledNet = netBindAndConnectTcp;
        *size = 2 * sizeof(quint64);
    }
    if (version >= 6) {
        attributes.scoped = scopeAbstractSocketsAndSignals;
        *size = 3 * sizeof(quint64);
    }
    return attributes;
}

bool enterLandlock(int version, const QStringList &readable)
{
    size_t size = 0;
    const RulesetAttributes attributes = rulesetFor(version, &size);
    const FileDescriptor ruleset(
        int(::syscall(SYS_landlock_create_ruleset, &attributes, size, 0)));
    if (!ruleset.isValid())
        return false;
    for (const QString &folder : readable) {
        const FileDescriptor path(
            ::open(QFile::encodeName(folder).constData(), O_PATH | O_CLOEXEC));
        // A folder that is not there holds nothing to read.
        if (!path.isValid())
            continue;
        // A file (the loader's cache) takes the rights of a file alone.
        const quint64 rights = QFileInfo(folder).isDir() ? readRights
                                                         : LANDLOCK_ACCESS_FS_READ_FILE;
        landlock_path_beneath_attr rule{rights, path.get()};
        if (::syscall(SYS_landlock_add_rule, ruleset.get(), LANDLOCK_RULE_PATH_BENEATH, &rule,
                      0)
            != 0)
            return false;
    }
    return ::syscall(SYS_landlock_restrict_self, ruleset.get(), 0) == 0;
}

// The system calls no decoding makes, refused with EPERM: sockets of any kind, new
// processes and programs, reading or tracing other processes, and what changes the
// process's view of the system.
const int deniedCalls[] = {
    SCMP_SYS(socket),          SCMP_SYS(socketpair),        SCMP_SYS(connect),
    SCMP_SYS(bind),            SCMP_SYS(listen),            SCMP_SYS(accept),
    SCMP_SYS(accept4),         SCMP_SYS(execve),            SCMP_SYS(execveat),
    SCMP_SYS(fork),            SCMP_SYS(vfork),             SCMP_SYS(ptrace),
    SCMP_SYS(process_vm_readv), SCMP_SYS(process_vm_writev), SCMP_SYS(mount),
    SCMP_SYS(umount2),         SCMP_SYS(chroot),            SCMP_SYS(pivot_root),
    SCMP_SYS(unshare),         SCMP_SYS(setns),             SCMP_SYS(bpf),
    SCMP_SYS(perf_event_open), SCMP_SYS(keyctl),            SCMP_SYS(add_key),
    SCMP_SYS(request_key),     SCMP_SYS(userfaultfd),       SCMP_SYS(io_uring_setup),
    SCMP_SYS(open_by_handle_at), SCMP_SYS(name_to_handle_at),
};

// 0 once the filter is in place; else libseccomp's negative error number (-EINVAL where the
// kernel has no seccomp filters).
int enterSeccomp()
{
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
    if (!filter)
        return -ENOMEM;
    bool built = seccomp_attr_set(filter, SCMP_FLTATR_CTL_TSYNC, 1) == 0;
    for (const int call : deniedCalls)
        built = built && seccomp_rule_add(filter, SCMP_ACT_ERRNO(EPERM), call, 0) == 0;
    // Threads may be made (Qt's scaling of large pictures runs on several), processes not:
    // a clone whose flags (its first argument) lack CLONE_THREAD is refused.
    const scmp_arg_cmp withoutThreadFlag{0, SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0};
    built = built
            && seccomp_rule_add(filter, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(clone), 1,
                                withoutThreadFlag)
                   == 0
            // Its flags are out of a filter's reach: the C library falls back to clone.
            && seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0) == 0;
    const int loaded = built ? seccomp_load(filter) : -EFAULT;
    seccomp_release(filter);
    return loaded;
}

void appendEach(QStringList &folders, FcStrList *list)
{
    if (!list)
        return;
    while (const FcChar8 *folder = FcStrListNext(list))
        folders.append(QFile::decodeName(reinterpret_cast<const char *>(folder)));
    FcStrListDone(list);
}

} // namespace

QStringList DecoderSandbox::readableFolders()
{
    // The system's libraries (Qt's plug-ins and what they load), wherever they are.
    QStringList folders{QStringLiteral("/usr"), QStringLiteral("/lib"),
                        QStringLiteral("/lib64"), QStringLiteral("/etc/ld.so.cache"),
                        QLibraryInfo::path(QLibraryInfo::LibrariesPath),
                        QLibraryInfo::path(QLibraryInfo::PluginsPath)};
    // The fonts, their configuration and their caches, as fontconfig finds them (the user's
    // own fonts and caches included).
    FcConfig *config = FcConfigGetCurrent();
    appendEach(folders, FcConfigGetFontDirs(config));
    appendEach(folders, FcConfigGetCacheDirs(config));
    appendEach(folders, FcConfigGetConfigDirs(config));
    if (FcChar8 *file = FcConfigFilename(nullptr)) {
        folders.append(QFileInfo(QFile::decodeName(reinterpret_cast<char *>(file))).path());
        FcStrFree(file);
    }
    folders.removeDuplicates();
    return folders;
}

bool DecoderSandbox::enter(const QStringList &readable, Entered *entered)
{
    // Neither sandbox may be left, nor the process gain rights by running another program.
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return false;
    entered->landlockVersion = landlockVersion();
    if (entered->landlockVersion > 0 && !enterLandlock(entered->landlockVersion, readable))
        return false;
    const int seccomp = enterSeccomp();
    entered->seccomp = seccomp == 0;
    // A kernel without seccomp filters (none that Debian ships) has nothing more to give.
    return seccomp == 0 || seccomp == -EINVAL;
}

} // namespace tolvaran::markdown
