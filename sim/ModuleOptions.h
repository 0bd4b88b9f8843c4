#pragma once
// The options that describe a simulated module, as words: tarnik-sim takes them
// on its command line and after "swap" on its standard input, tarnik --simulate
// in --sim-swap. One grammar for all three:
//
//   --baud N  --frame DPS  --serial N  --firmware TEXT  --fixed-pins
//   --stored-mode N  --restart-ms N  --escape-window-ms N  --latency-ms N
//   --neighbours  --fault KIND[:MNEMONIC[:COUNT]]
#include <cstddef>
#include <string>
#include <vector>

#include "TarnikModule.h"

class KvClock;

namespace tarnik::sim {

// "KIND[:MNEMONIC[:COUNT]]", KIND one of silence, late, cut, garbage, nul,
// overlong, nak[=CODE], bad-man, vanish, stored-ignored, stored-off, swap, kill[=N]; MNEMONIC * for every request, a
// scope character before it (+SAD, @MOD) for the requests with that scope; COUNT
// -1 for ever (default 1). Returns "" when the text names a fault.
std::string ParseFault(const std::string& text, Fault& fault);

// Takes the module option at words[i] (and its value, advancing i). Returns
// false when words[i] is no module option; `problem` is set when it is one but
// its value is missing or wrong.
bool TakeModuleOption(const std::vector<std::string>& words, std::size_t& i, ModuleConfig& config,
                      std::vector<Fault>& faults, std::string& problem);

// Splits at white space.
std::vector<std::string> SplitWords(const std::string& text);

// The module that comes next on a bench: the serial number after the one
// before (999999999 is followed by 0), factory line settings, standard mode,
// changeable pins; the version and the timing stay.
ModuleConfig NextModuleConfig(const ModuleConfig& previous);

// Parses a swap's options over NextModuleConfig(previous). "" when fine.
std::string ParseSwap(const std::string& options, const ModuleConfig& previous, ModuleConfig& config,
                      std::vector<Fault>& faults);

// Replaces `module` with a new one made from `config`, powered up now on the
// same line (the same clock and pacing), with `faults` armed.
void SwapModule(Module& module, const ModuleConfig& config, const std::vector<Fault>& faults, KvClock* clock);

}  // namespace tarnik::sim
