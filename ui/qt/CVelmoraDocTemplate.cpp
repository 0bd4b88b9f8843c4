#include "CVelmoraDocTemplate.h"

#include "CMainFrame.h"
#include "CVelmoraDoc.h"
#include "CVelmoraView.h"
#include "QtWorkflowHost.h"

CVelmoraDocTemplate::CVelmoraDocTemplate(KvClock& clock) : host_(std::make_unique<QtWorkflowHost>(clock)) {}

CVelmoraDocTemplate::~CVelmoraDocTemplate() {
    frame_.reset();
    doc_.reset();
}

bool CVelmoraDocTemplate::OpenDocumentFile() {
    if (frame_ != nullptr) return true;  // a single document: there is never a second
    doc_ = std::make_unique<CVelmoraDoc>(*host_);
    frame_ = std::make_unique<CMainFrame>(*doc_, *host_);
    host_->SetMainWindow(frame_.get());
    frame_->View()->FillControlLists();
    return true;
}

CVelmoraView* CVelmoraDocTemplate::View() const { return frame_ ? frame_->View() : nullptr; }
