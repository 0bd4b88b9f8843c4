#include "BenchCommands.h"

#include <optional>

#include "Language.h"
#include "Profile.h"
#include "Simulation.h"
#include "TakeOption.h"

void BenchCommands::Register(CLI::App& app) {
    pair_ = app.add_subcommand(
        "pair",
        Tr("make two modules a matched transparent pair: the same channel and line settings, one master, one slave, "
           "each read back and checked; they switch at their next power-up"));
    pair_->add_option("--from", from_, Tr("profile with the shared channel and line settings (as read --json prints)"))
        ->type_name("FILE");
    pair_->add_option("--channel", channel_, Tr("radio channel both get: 0 to 75 (default: the master's)"))
        ->type_name("N");
    pair_->add_option("--baud", baud_, Tr("baud rate both get (default: the master's)"))->type_name("N");
    pair_->add_option("--data-bits", dataBits_, Tr("data bits both get: 7 or 8"))->type_name("N");
    pair_->add_option("--parity", parity_, Tr("parity both get: N, E or O"))->type_name("P");
    pair_->add_option("--stop-bits", stopBits_, Tr("stop bits both get: 1 or 2"))->type_name("N");
    pair_->add_option("--pins", pins_, Tr("pin functions both get, four digits as for write"))->type_name("DDDD");
    pair_
        ->add_option("--peer-port", peerPort_,
                     Tr("the slave's port; without it the slave follows on --port after a module change"))
        ->type_name("PORT");
    pair_->add_option("--log", pairLog_, Tr("append the pair's record (one JSON line) to FILE"))->type_name("FILE");

    provision_ = app.add_subcommand(
        "provision",
        Tr("one module after another on one port: write the profile and each unit's own address, read back, "
           "compare and log every unit"));
    provision_->add_option("--from", provisionFrom_, Tr("profile every unit gets (as read --json prints)"))
        ->type_name("FILE")
        ->required();
    provision_
        ->add_option("--address-from", addressFrom_,
                     Tr("addresses counting up from N, never one an earlier record of the log gave out"))
        ->type_name("N");
    provision_
        ->add_option("--plan", plan_,
                     Tr("CSV of each unit's values by serial number: a header line serialNumber,address,... "
                        "then one line a unit"))
        ->type_name("FILE");
    provision_
        ->add_option("--log", provisionLog_,
                     Tr("JSON Lines record of every unit; run again with the same log to skip units done"))
        ->type_name("FILE")
        ->required();
    provision_
        ->add_option("--next", next_,
                     Tr("how the next module comes: enter (change it, press Enter) or usb (unplug the adapter, "
                        "plug in the next; Linux)"))
        ->type_name("HOW")
        ->check(CLI::IsMember({"enter", "usb"}));
}

std::string BenchCommands::Check(const std::vector<std::string>& ports, Simulation* simulation) {
    const std::string& port = ports.back();
    if (pair_->parsed()) {
        SettingValues& v = pairOptions_.shared;
        if (!from_.empty()) {
            const std::string problem = ReadProfile(from_, v);
            if (!problem.empty()) return problem;
            v.address.reset();  // a pair's addresses are those of the mode
        }
        SettingValues options;
        std::string problem = TakeOption(pair_, "--channel", channel_, options.channel, ParseChannel);
        if (problem.empty()) problem = TakeOption(pair_, "--baud", baud_, options.baudRate, ParseBaudRate);
        if (problem.empty()) problem = TakeOption(pair_, "--data-bits", dataBits_, options.dataBits, ParseDataBits);
        if (problem.empty()) problem = TakeOption(pair_, "--parity", parity_, options.parity, ParseParity);
        if (problem.empty()) problem = TakeOption(pair_, "--stop-bits", stopBits_, options.stopBits, ParseStopBits);
        if (problem.empty()) problem = TakeOption(pair_, "--pins", pins_, options.pins, ParsePins);
        if (!problem.empty()) return problem;
        v.Overlay(options);
        pairOptions_.peerPort = peerPort_;
        if (peerPort_ == port)
            return Tr("--peer-port: the same port as --port; leave it out to change modules on one port");
        if (!pairLog_.empty()) {
            auto log = std::make_shared<RecordFile>();
            std::string earlier;
            problem = log->Open(pairLog_, earlier);
            if (!problem.empty()) return "--log: " + problem;
            pairOptions_.log = std::move(log);
        }
        if (peerPort_.empty()) {
            next_module_ = simulation ? MakeSimulatedNext(port, *simulation) : MakeEnterKeyNext(port);
        }
        return "";
    }

    ProvisionOptions& o = provisionOptions_;
    std::string problem = ReadProfile(provisionFrom_, o.profile);
    if (!problem.empty()) return problem;
    std::optional<int> from;
    problem = TakeOption(provision_, "--address-from", addressFrom_, from, ParseAddress);
    if (!problem.empty()) return problem;
    o.addressFrom = from;
    if (!plan_.empty()) {
        ProvisionPlan plan;
        problem = plan.Load(plan_);
        if (!problem.empty()) return "--plan: " + problem;
        if (!o.addressFrom) {
            for (const auto& [serial, values] : plan.units) {
                if (!values.address) {
                    return TrFormat("--plan: %s leaves some addresses open; give --address-from for them",
                                    plan_.c_str());
                }
            }
        }
        o.plan = std::move(plan);
    }
    if (!o.addressFrom && !o.plan) {
        return Tr("provision: every unit needs its own address: give --address-from N or --plan FILE");
    }
    o.profile.address.reset();  // each unit's own
    o.logPath = provisionLog_;
    ports_ = ports;
    if (simulation) {
        stations_.push_back(MakeSimulatedNext(port, *simulation));
    } else if (next_ == "usb") {
        for (const std::string& p : ports) {
            stations_.push_back(MakeUsbReplugNext(p, problem));
            if (!stations_.back()) return problem;
        }
    } else if (ports.size() > 1) {
        stations_ = MakeStationPrompts(ports);
    } else {
        stations_.push_back(MakeEnterKeyNext(port));
    }
    return "";
}

int BenchCommands::Run(CommandContext& ctx) {
    if (pair_->parsed()) return RunPair(ctx, pairOptions_, next_module_.get());
    std::vector<ProvisionStation> stations;
    for (std::size_t k = 0; k < ports_.size(); ++k) stations.push_back({ports_[k], stations_[k].get()});
    return RunProvision(ctx, provisionOptions_, stations);
}
