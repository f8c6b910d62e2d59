// --compare-plugin: the stream replayed through two builds of the plug-in, each in a process of
// its own (two builds cannot share one: the loader initialises every plug-in it holds for each
// context), both printing the JSON form, which is read back and compared line by line:
// applicability, failure, shadow entry and SCHAN commands, member by member.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "Printer.h"

namespace eedb::replay {

// Loads the plug-in at `path` for its version and commit. Raises Plugin::LoadError.
PluginId pluginIdOf(std::string const& path);

struct CompareSettings {
  std::string tool;                  // the replay tool run for each side
  std::vector<std::string> options;  // the replay's options, the same for both sides
  std::vector<std::string> files;
  PluginId sides[2];
};

// Replays the stream through both plug-ins and prints each line where they differ, then the
// totals. Returns the number of lines that differ; raises std::runtime_error when a side cannot
// replay the stream.
std::size_t comparePlugins(CompareSettings const& settings, Printer& printer);

}  // namespace eedb::replay
