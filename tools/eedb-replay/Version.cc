// The version and commit the tool was built from.

#include "Version.h"

#include "BuildVersion.h"

namespace eedb::replay {

char const* const kToolVersion = EEDB_VERSION;
char const* const kToolCommit = EEDB_COMMIT;

}  // namespace eedb::replay
