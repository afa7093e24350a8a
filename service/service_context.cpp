#include "service/service_context.h"

#include "platform/file_ops.h"

namespace plexivar {

std::string ServiceContext::Resolve(const std::string& folder) const {
    return folder.empty() ? folder : platform::ResolvePath(programDir, folder);
}

}  // namespace plexivar
