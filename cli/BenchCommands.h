#pragma once
// The options of pair and provision, the commands of a production bench:
// registered on the command line, checked before anything is sent, and run.
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "Commands.h"
#include "NextModule.h"
#include "Pair.h"
#include "Provision.h"

class Simulation;

class BenchCommands {
public:
    void Register(CLI::App& app);
    // One of the two commands was given.
    bool Parsed() const { return pair_->parsed() || provision_->parsed(); }
    bool ProvisionParsed() const { return provision_->parsed(); }
    // After parsing: "" or what is wrong (nothing has been sent).
    // `ports`: every --port (several for provision's stations, else one).
    std::string Check(const std::vector<std::string>& ports, Simulation* simulation);
    int Run(CommandContext& ctx);
    // pair's --peer-port as given ("" when none).
    const std::string& PeerPort() const { return peerPort_; }

private:
    CLI::App* pair_ = nullptr;
    CLI::App* provision_ = nullptr;
    // As typed.
    std::string from_, channel_, baud_, dataBits_, parity_, stopBits_, pins_, peerPort_, pairLog_;
    std::string provisionFrom_, addressFrom_, plan_, provisionLog_, next_ = "enter";

    PairOptions pairOptions_;
    ProvisionOptions provisionOptions_;
    std::unique_ptr<NextModule> next_module_;
    // provision's stations: one port and next-module source each.
    std::vector<std::string> ports_;
    std::vector<std::unique_ptr<NextModule>> stations_;
};
