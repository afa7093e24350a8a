#include "service/report/operator_view.h"

#include <atomic>

namespace plexivar {
namespace {
std::atomic<OperatorView*> g_view{nullptr};
}

void SetOperatorView(OperatorView* view) { g_view.store(view); }
OperatorView* CurrentOperatorView() { return g_view.load(); }

}  // namespace plexivar
