#include <cerrno>
#include <string>

#include "base/errno_names.h"

namespace rover {

namespace {

struct ErrnoEntry {
  int code;
  const char* name;
};

// Every errno value of the platform. Aliases (EWOULDBLOCK, EDEADLOCK, ENOTSUP)
// come last, so a shared value is named by its primary name.
constexpr ErrnoEntry kErrnoNames[] = {
#ifdef EPERM
    {EPERM, "perm"},
#endif
#ifdef ENOENT
    {ENOENT, "noent"},
#endif
#ifdef ESRCH
    {ESRCH, "srch"},
#endif
#ifdef EINTR
    {EINTR, "intr"},
#endif
#ifdef EIO
    {EIO, "io"},
#endif
#ifdef ENXIO
    {ENXIO, "nxio"},
#endif
#ifdef E2BIG
    {E2BIG, "2big"},
#endif
#ifdef ENOEXEC
    {ENOEXEC, "noexec"},
#endif
#ifdef EBADF
    {EBADF, "badf"},
#endif
#ifdef ECHILD
    {ECHILD, "child"},
#endif
#ifdef EAGAIN
    {EAGAIN, "again"},
#endif
#ifdef ENOMEM
    {ENOMEM, "nomem"},
#endif
#ifdef EACCES
    {EACCES, "acces"},
#endif
#ifdef EFAULT
    {EFAULT, "fault"},
#endif
#ifdef ENOTBLK
    {ENOTBLK, "notblk"},
#endif
#ifdef EBUSY
    {EBUSY, "busy"},
#endif
#ifdef EEXIST
    {EEXIST, "exist"},
#endif
#ifdef EXDEV
    {EXDEV, "xdev"},
#endif
#ifdef ENODEV
    {ENODEV, "nodev"},
#endif
#ifdef ENOTDIR
    {ENOTDIR, "notdir"},
#endif
#ifdef EISDIR
    {EISDIR, "isdir"},
#endif
#ifdef EINVAL
    {EINVAL, "inval"},
#endif
#ifdef ENFILE
    {ENFILE, "nfile"},
#endif
#ifdef EMFILE
    {EMFILE, "mfile"},
#endif
#ifdef ENOTTY
    {ENOTTY, "notty"},
#endif
#ifdef ETXTBSY
    {ETXTBSY, "txtbsy"},
#endif
#ifdef EFBIG
    {EFBIG, "fbig"},
#endif
#ifdef ENOSPC
    {ENOSPC, "nospc"},
#endif
#ifdef ESPIPE
    {ESPIPE, "spipe"},
#endif
#ifdef EROFS
    {EROFS, "rofs"},
#endif
#ifdef EMLINK
    {EMLINK, "mlink"},
#endif
#ifdef EPIPE
    {EPIPE, "pipe"},
#endif
#ifdef EDOM
    {EDOM, "dom"},
#endif
#ifdef ERANGE
    {ERANGE, "range"},
#endif
#ifdef EDEADLK
    {EDEADLK, "deadlk"},
#endif
#ifdef ENAMETOOLONG
    {ENAMETOOLONG, "nametoolong"},
#endif
#ifdef ENOLCK
    {ENOLCK, "nolck"},
#endif
#ifdef ENOSYS
    {ENOSYS, "nosys"},
#endif
#ifdef ENOTEMPTY
    {ENOTEMPTY, "notempty"},
#endif
#ifdef ELOOP
    {ELOOP, "loop"},
#endif
#ifdef ENOMSG
    {ENOMSG, "nomsg"},
#endif
#ifdef EIDRM
    {EIDRM, "idrm"},
#endif
#ifdef ECHRNG
    {ECHRNG, "chrng"},
#endif
#ifdef EL2NSYNC
    {EL2NSYNC, "l2nsync"},
#endif
#ifdef EL3HLT
    {EL3HLT, "l3hlt"},
#endif
#ifdef EL3RST
    {EL3RST, "l3rst"},
#endif
#ifdef ELNRNG
    {ELNRNG, "lnrng"},
#endif
#ifdef EUNATCH
    {EUNATCH, "unatch"},
#endif
#ifdef ENOCSI
    {ENOCSI, "nocsi"},
#endif
#ifdef EL2HLT
    {EL2HLT, "l2hlt"},
#endif
#ifdef EBADE
    {EBADE, "bade"},
#endif
#ifdef EBADR
    {EBADR, "badr"},
#endif
#ifdef EXFULL
    {EXFULL, "xfull"},
#endif
#ifdef ENOANO
    {ENOANO, "noano"},
#endif
#ifdef EBADRQC
    {EBADRQC, "badrqc"},
#endif
#ifdef EBADSLT
    {EBADSLT, "badslt"},
#endif
#ifdef EBFONT
    {EBFONT, "bfont"},
#endif
#ifdef ENOSTR
    {ENOSTR, "nostr"},
#endif
#ifdef ENODATA
    {ENODATA, "nodata"},
#endif
#ifdef ETIME
    {ETIME, "time"},
#endif
#ifdef ENOSR
    {ENOSR, "nosr"},
#endif
#ifdef ENONET
    {ENONET, "nonet"},
#endif
#ifdef ENOPKG
    {ENOPKG, "nopkg"},
#endif
#ifdef EREMOTE
    {EREMOTE, "remote"},
#endif
#ifdef ENOLINK
    {ENOLINK, "nolink"},
#endif
#ifdef EADV
    {EADV, "adv"},
#endif
#ifdef ESRMNT
    {ESRMNT, "srmnt"},
#endif
#ifdef ECOMM
    {ECOMM, "comm"},
#endif
#ifdef EPROTO
    {EPROTO, "proto"},
#endif
#ifdef EMULTIHOP
    {EMULTIHOP, "multihop"},
#endif
#ifdef EDOTDOT
    {EDOTDOT, "dotdot"},
#endif
#ifdef EBADMSG
    {EBADMSG, "badmsg"},
#endif
#ifdef EOVERFLOW
    {EOVERFLOW, "overflow"},
#endif
#ifdef ENOTUNIQ
    {ENOTUNIQ, "notuniq"},
#endif
#ifdef EBADFD
    {EBADFD, "badfd"},
#endif
#ifdef EREMCHG
    {EREMCHG, "remchg"},
#endif
#ifdef ELIBACC
    {ELIBACC, "libacc"},
#endif
#ifdef ELIBBAD
    {ELIBBAD, "libbad"},
#endif
#ifdef ELIBSCN
    {ELIBSCN, "libscn"},
#endif
#ifdef ELIBMAX
    {ELIBMAX, "libmax"},
#endif
#ifdef ELIBEXEC
    {ELIBEXEC, "libexec"},
#endif
#ifdef EILSEQ
    {EILSEQ, "ilseq"},
#endif
#ifdef ERESTART
    {ERESTART, "restart"},
#endif
#ifdef ESTRPIPE
    {ESTRPIPE, "strpipe"},
#endif
#ifdef EUSERS
    {EUSERS, "users"},
#endif
#ifdef ENOTSOCK
    {ENOTSOCK, "notsock"},
#endif
#ifdef EDESTADDRREQ
    {EDESTADDRREQ, "destaddrreq"},
#endif
#ifdef EMSGSIZE
    {EMSGSIZE, "msgsize"},
#endif
#ifdef EPROTOTYPE
    {EPROTOTYPE, "prototype"},
#endif
#ifdef ENOPROTOOPT
    {ENOPROTOOPT, "noprotoopt"},
#endif
#ifdef EPROTONOSUPPORT
    {EPROTONOSUPPORT, "protonosupport"},
#endif
#ifdef ESOCKTNOSUPPORT
    {ESOCKTNOSUPPORT, "socktnosupport"},
#endif
#ifdef EOPNOTSUPP
    {EOPNOTSUPP, "opnotsupp"},
#endif
#ifdef EPFNOSUPPORT
    {EPFNOSUPPORT, "pfnosupport"},
#endif
#ifdef EAFNOSUPPORT
    {EAFNOSUPPORT, "afnosupport"},
#endif
#ifdef EADDRINUSE
    {EADDRINUSE, "addrinuse"},
#endif
#ifdef EADDRNOTAVAIL
    {EADDRNOTAVAIL, "addrnotavail"},
#endif
#ifdef ENETDOWN
    {ENETDOWN, "netdown"},
#endif
#ifdef ENETUNREACH
    {ENETUNREACH, "netunreach"},
#endif
#ifdef ENETRESET
    {ENETRESET, "netreset"},
#endif
#ifdef ECONNABORTED
    {ECONNABORTED, "connaborted"},
#endif
#ifdef ECONNRESET
    {ECONNRESET, "connreset"},
#endif
#ifdef ENOBUFS
    {ENOBUFS, "nobufs"},
#endif
#ifdef EISCONN
    {EISCONN, "isconn"},
#endif
#ifdef ENOTCONN
    {ENOTCONN, "notconn"},
#endif
#ifdef ESHUTDOWN
    {ESHUTDOWN, "shutdown"},
#endif
#ifdef ETOOMANYREFS
    {ETOOMANYREFS, "toomanyrefs"},
#endif
#ifdef ETIMEDOUT
    {ETIMEDOUT, "timedout"},
#endif
#ifdef ECONNREFUSED
    {ECONNREFUSED, "connrefused"},
#endif
#ifdef EHOSTDOWN
    {EHOSTDOWN, "hostdown"},
#endif
#ifdef EHOSTUNREACH
    {EHOSTUNREACH, "hostunreach"},
#endif
#ifdef EALREADY
    {EALREADY, "already"},
#endif
#ifdef EINPROGRESS
    {EINPROGRESS, "inprogress"},
#endif
#ifdef ESTALE
    {ESTALE, "stale"},
#endif
#ifdef EUCLEAN
    {EUCLEAN, "uclean"},
#endif
#ifdef ENOTNAM
    {ENOTNAM, "notnam"},
#endif
#ifdef ENAVAIL
    {ENAVAIL, "navail"},
#endif
#ifdef EISNAM
    {EISNAM, "isnam"},
#endif
#ifdef EREMOTEIO
    {EREMOTEIO, "remoteio"},
#endif
#ifdef EDQUOT
    {EDQUOT, "dquot"},
#endif
#ifdef ENOMEDIUM
    {ENOMEDIUM, "nomedium"},
#endif
#ifdef EMEDIUMTYPE
    {EMEDIUMTYPE, "mediumtype"},
#endif
#ifdef ECANCELED
    {ECANCELED, "canceled"},
#endif
#ifdef ENOKEY
    {ENOKEY, "nokey"},
#endif
#ifdef EKEYEXPIRED
    {EKEYEXPIRED, "keyexpired"},
#endif
#ifdef EKEYREVOKED
    {EKEYREVOKED, "keyrevoked"},
#endif
#ifdef EKEYREJECTED
    {EKEYREJECTED, "keyrejected"},
#endif
#ifdef EOWNERDEAD
    {EOWNERDEAD, "ownerdead"},
#endif
#ifdef ENOTRECOVERABLE
    {ENOTRECOVERABLE, "notrecoverable"},
#endif
#ifdef ERFKILL
    {ERFKILL, "rfkill"},
#endif
#ifdef EHWPOISON
    {EHWPOISON, "hwpoison"},
#endif
#ifdef EWOULDBLOCK
    {EWOULDBLOCK, "wouldblock"},
#endif
#ifdef EDEADLOCK
    {EDEADLOCK, "deadlock"},
#endif
#ifdef ENOTSUP
    {ENOTSUP, "notsup"},
#endif
};

}  // namespace

std::string errnoName(int code) {
  for (const ErrnoEntry& entry : kErrnoNames) {
    if (entry.code == code) return entry.name;
  }
  return "<UNKNOWN>";
}

}  // namespace rover
