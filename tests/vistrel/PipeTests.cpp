// The capture host when its parent stops reading: a write into a pipe without
// a reader must neither kill the host nor stop it reading requests; only the
// end of its input ends it, with status 0.
#include <string>

#include <gtest/gtest.h>

#include "Sablekit/protocol/JsonCodec.h"
#include "tests/support/RunningChild.h"

namespace Sablekit {
namespace {

using Testing::RunningChild;

struct PipeCase {
  const char* name;
  const char* program;
  bool readFirstAnswer;  // the parent reads one answer before it stops reading
};

// Far more than the pipes between the two processes hold: these writes only
// complete while the host keeps reading, and it reads a line only after it
// has answered the one before.
std::string manyRequests() {
  std::string requests;
  for (int id = 2; id < 10'000; ++id) {
    requests += id % 3 == 0 ? "not json\n" : R"({"id":)" + std::to_string(id) + R"(,"method":"health"})" + "\n";
  }
  return requests;
}

TEST(VistrelPipes, AParentThatStopsReadingNeitherKillsTheHostNorStopsIt) {
  const PipeCase cases[] = {
      {"vistrel-sim, reader gone before the first answer", VISTREL_SIM_PATH, false},
      {"vistrel-sim, reader gone after the first answer", VISTREL_SIM_PATH, true},
      {"Vistrel, reader gone before the first answer", VISTREL_PATH, false},
      {"Vistrel, reader gone after the first answer", VISTREL_PATH, true},
  };
  const std::string requests = manyRequests();
  for (const PipeCase& c : cases) {
    SCOPED_TRACE(c.name);
    RunningChild host(c.program, {});
    if (c.readFirstAnswer) {
      host.write(R"({"id":1,"method":"health"})"
                 "\n");
      const std::optional<std::string> answer = host.readLine();
      ASSERT_TRUE(answer.has_value());
      EXPECT_EQ(JsonCodec::parse(*answer)["id"], 1);
    }
    host.closeOutput();
    // Throws if the host died of the broken pipe while we were writing.
    EXPECT_NO_THROW(host.write(requests));
    EXPECT_FALSE(host.hasExited()) << "only the end of input ends the host";
    host.closeInput();
    EXPECT_EQ(host.waitForExit(), 0) << "128 + 13 would be death by SIGPIPE";
  }
}

}  // namespace
}  // namespace Sablekit
