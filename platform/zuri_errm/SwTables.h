// All software table types of the EEDB tables: one include for code that handles every table.
#pragma once

#include "zuri_errm/EedbAgMemTlm.h"
#include "zuri_errm/EedbArpTable.h"
#include "zuri_errm/EedbDataByLocalOutlifMsbs.h"
#include "zuri_errm/EedbIpTunnel.h"
#include "zuri_errm/EedbMplsTunnelTable.h"
#include "zuri_errm/EedbOutrif.h"
#include "zuri_errm/EedbSflowTable.h"
#include "zuri_errm/EedbSrv6.h"
#include "zuri_errm/EedbStatTable.h"
#include "zuri_errm/EedbSubIntfOutAcTable.h"
#include "zuri_errm/EedbTapAggTable.h"
#include "zuri_errm/EedbVxlanTunnel.h"
#include "zuri_errm/Gen3EsemCmds.h"
