// Helpers of the card mode's tests: cards damaged, reports read, leftovers found.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace vexmend::test {

// The file cut at `share` of its bytes, cleanly before the next picture
// element if there is one, so that it ends with whole packages short of its
// stated duration; and its first bytes zeroed.
void Damage(const std::string& healthy, const std::string& damaged, double share, size_t zeroed);

// What a Python `script` prints with the JSON file `json` loaded as `d`.
std::string Python(const std::string& script, const std::string& json);

// Every entry under `root` but the folders `skipped` and what they hold: a
// regular file by its content's hash, a link by its target, anything else by
// its type alone.
std::map<std::string, std::string> Snapshot(const std::string& root,
                                            const std::vector<std::string>& skipped);

// Files whose names mark them as the card mode's own temporary ones.
std::vector<std::string> Leftovers(const std::string& folder);

}  // namespace vexmend::test
