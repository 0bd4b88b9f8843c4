#pragma once
// One program window set (document, frame, view) against a simulated module on
// "COM1" that runs on a virtual clock. Modal dialogs of the workflows are
// answered through the host's answerer and recorded, as are message boxes.
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>
#include <vector>

#include "CMainFrame.h"
#include "CVelmoraDoc.h"
#include "CVelmoraDocTemplate.h"
#include "CVelmoraView.h"
#include "KvClock.h"
#include "QtWorkflowHost.h"
#include "ResourceIds.h"
#include "TarnikSim.h"

struct Rig {
    explicit Rig(tarnik::sim::ModuleConfig config = {})
        : sim(std::make_unique<tarnik::sim::SimulatedPort>("COM1", config, clock, true)),
          docTemplate(std::make_unique<CVelmoraDocTemplate>(clock)) {
        Host().dialogAnswerer = [this](int id) {
            dialogs.push_back(id);
            return answer ? answer(id) : IDOK;
        };
        Host().messageAnswerer = [this](int id) { messages.push_back(id); };
        docTemplate->OpenDocumentFile();
        Frame()->show();
    }
    ~Rig() {
        docTemplate.reset();
        sim.reset();
    }

    QtWorkflowHost& Host() { return docTemplate->Host(); }
    CMainFrame* Frame() { return docTemplate->Frame(); }
    CVelmoraView* View() { return docTemplate->View(); }
    CVelmoraDoc& Doc() { return *docTemplate->Document(); }
    tarnik::sim::Module& Module() { return sim->module(); }

    template <typename T>
    T* Control(const char* name) {
        T* control = View()->findChild<T*>(QString::fromLatin1(name));
        if (control == nullptr) qFatal("no control %s", name);
        return control;
    }
    QString Guide() { return Control<QLabel>("IDC_GUIDE")->text(); }
    // The search, and the read that follows it when it finds the module.
    void ScanAndRead() {
        View()->OnScan();
        QVERIFY(Doc().HasDevice());
    }
    // Requests heard that begin with `prefix` ("+SAD:" is an address write).
    int Requests(const char* prefix) {
        int n = 0;
        for (const auto& exchange : Module().Log()) n += exchange.request.rfind(prefix, 0) == 0;
        return n;
    }

    KvVirtualClock clock;
    std::unique_ptr<tarnik::sim::SimulatedPort> sim;
    std::unique_ptr<CVelmoraDocTemplate> docTemplate;
    std::vector<int> dialogs;
    std::vector<int> messages;
    std::function<int(int)> answer;  // IDOK when unset
};

// Runs `act` on the next modal dialog that opens, once it is on screen.
inline void OnNextModal(std::function<void(QWidget*)> act) {
    auto* poll = new QTimer(QCoreApplication::instance());
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        act(modal);
    });
    poll->start();
}
