// The tool's version and the commit it was built from ("" outside a git work tree). Kept in a
// unit of their own: a new commit recompiles only that.
#pragma once

namespace eedb::replay {

extern char const* const kToolVersion;
extern char const* const kToolCommit;

}  // namespace eedb::replay
