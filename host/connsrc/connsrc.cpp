// The connection library: loaded by file name for every request, it lends the services
// library's cached connections. The borrower never closes them.
#include "hostsvc.h"

#pragma GCC visibility push(default)
#include "shell/host_abi.h"
#pragma GCC visibility pop

extern "C" {
sqlite3* GetBaseDBConnection(void) { return hostsvc_baseConnection(); }
sqlite3* GetCurPrjDBConnection(void) { return hostsvc_projectConnection(); }
}
