#include "service/report/operator_view.h"

#include <algorithm>
#include <atomic>

namespace plexivar {
namespace {
std::atomic<OperatorView*> g_view{nullptr};
}

void SetOperatorView(OperatorView* view) { g_view.store(view); }
OperatorView* CurrentOperatorView() { return g_view.load(); }

void SetStatusText(const std::string& text) {
    if (OperatorView* view = CurrentOperatorView()) view->ShowStatusText(text);
}

void SetProgress(int percent, const std::string& caption) {
    if (OperatorView* view = CurrentOperatorView())
        view->ShowProgress(std::clamp(percent, 0, 100), caption);
}

void SetSpoolerRowImage(int index, int image) {
    if (OperatorView* view = CurrentOperatorView()) view->ShowSpoolerImage(index, image);
}

void ShowRunState(bool running) {
    if (OperatorView* view = CurrentOperatorView()) view->ShowRunState(running);
}

void ShowMessageBox(const std::string& text) {
    if (OperatorView* view = CurrentOperatorView()) view->ShowMessage(text);
}

}  // namespace plexivar
