// The log entry wrappers' key functions: their type info lives in this library.
#include "zuri_errm/SwTables.h"

// Out-of-line destructors: the key functions that put each wrapper's type info in this library.

ZuriErrm::EedbOutrifLogEntryWrapper::~EedbOutrifLogEntryWrapper() = default;
ZuriErrm::EedbMplsTunnelTableLogEntryWrapper::~EedbMplsTunnelTableLogEntryWrapper() = default;
ZuriErrm::EedbIpTunnelLogEntryWrapper::~EedbIpTunnelLogEntryWrapper() = default;
ZuriErrm::EedbVxlanTunnelLogEntryWrapper::~EedbVxlanTunnelLogEntryWrapper() = default;
ZuriErrmArp::EedbArpTableLogEntryWrapper::~EedbArpTableLogEntryWrapper() = default;
ZuriErrm::EedbSubIntfOutAcTableLogEntryWrapper::~EedbSubIntfOutAcTableLogEntryWrapper() = default;
ZuriErrm::EedbTapAggTableLogEntryWrapper::~EedbTapAggTableLogEntryWrapper() = default;
ZuriErrm::EedbSflowTableLogEntryWrapper::~EedbSflowTableLogEntryWrapper() = default;
ZuriErrm::EedbStatTableLogEntryWrapper::~EedbStatTableLogEntryWrapper() = default;
ZuriErrm::EedbAgMemTlmLogEntryWrapper::~EedbAgMemTlmLogEntryWrapper() = default;
ZuriErrm::EedbDataByLocalOutlifMsbsLogEntryWrapper::~EedbDataByLocalOutlifMsbsLogEntryWrapper() =
    default;
ZuriErrm::EedbSrv6LogEntryWrapper::~EedbSrv6LogEntryWrapper() = default;
