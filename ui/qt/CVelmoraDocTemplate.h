#pragma once
#include <memory>

#include "KvClock.h"

class CVelmoraDoc;
class CMainFrame;
class CVelmoraView;
class QtWorkflowHost;

// The single-document template: one document, its frame and its view, created
// together and alive until the main window goes. Destroys the frame (and view)
// first, then the document, then the host they all talk through.
class CVelmoraDocTemplate {
public:
    explicit CVelmoraDocTemplate(KvClock& clock = SteadyClock());
    ~CVelmoraDocTemplate();
    CVelmoraDocTemplate(const CVelmoraDocTemplate&) = delete;
    CVelmoraDocTemplate& operator=(const CVelmoraDocTemplate&) = delete;

    // Creates the document, the frame and the view and runs the view's initial update.
    bool OpenDocumentFile();

    QtWorkflowHost& Host() const { return *host_; }
    CVelmoraDoc* Document() const { return doc_.get(); }
    CMainFrame* Frame() const { return frame_.get(); }
    CVelmoraView* View() const;

private:
    std::unique_ptr<QtWorkflowHost> host_;
    std::unique_ptr<CVelmoraDoc> doc_;
    std::unique_ptr<CMainFrame> frame_;
};
