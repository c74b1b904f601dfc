#pragma once

#include <vector>

#include "bench/ratio_reporter.h"

namespace ravelin::bench {

// Parse rows "parse/<shape>-<size>" for the shapes that made a parser which
// rescanned each container as it closed take quadratic time (an array of
// empty objects, an object of empty-object members) and for nesting at the
// depth limit, each at three sizes up to near the JSON input limit.
void registerHostileParseRows();

// The growth table of those rows.
void printHostileParseGrowth(const TimingTable& table);

// One target per shape: per byte, the largest size may take at most 1.2
// times as long as the smallest.
std::vector<Target> hostileParseTargets(const TimingTable& table);

}  // namespace ravelin::bench
