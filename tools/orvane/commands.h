// The sub-commands of the `orvane` tool. Each returns the process exit status.
#ifndef ORVANE_TOOLS_COMMANDS_H_
#define ORVANE_TOOLS_COMMANDS_H_

#include "cli_common.h"

namespace orvane {
namespace cli {

int RunTranscribe(const Options& options);
int RunStream(const Options& options);

}  // namespace cli
}  // namespace orvane

#endif  // ORVANE_TOOLS_COMMANDS_H_
