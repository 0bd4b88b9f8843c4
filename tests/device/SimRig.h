#pragma once
// A document on a simulated module behind a named port, on the virtual clock,
// with a recorder host.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CVelmoraDoc.h"
#include "KvClock.h"
#include "RecorderHost.h"
#include "TarnikSim.h"

struct SimRig {
    explicit SimRig(const tarnik::sim::ModuleConfig& config = {}, const char* portName = "COM3", bool paced = true)
        : sim(portName, config, clock, paced), host(clock), doc(host) {
        doc.SetPortName(portName);
    }
    tarnik::sim::Module& module() { return sim.module(); }
    // The requests the module heard, from the `from`th on.
    std::vector<std::string> Requests(std::size_t from = 0) {
        std::vector<std::string> requests;
        for (std::size_t i = from; i < module().Log().size(); ++i) requests.push_back(module().Log()[i].request);
        return requests;
    }
    // A search that finds the module, the read after it and the settings
    // window's refresh; the host's log starts afresh.
    void FindAndRead() {
        ASSERT_TRUE(doc.Scan());
        doc.ReadSettings();
        ASSERT_TRUE(doc.HasDevice());
        doc.CacheRunningSettings();
        host.Clear();
    }

    KvVirtualClock clock;
    tarnik::sim::SimulatedPort sim;
    RecorderHost host;
    CVelmoraDoc doc;
};
