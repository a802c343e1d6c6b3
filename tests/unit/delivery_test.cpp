#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "delivery/delivery_sequence.h"
#include "delivery/path_list.h"

namespace {

using delivery::CopyResult;
using delivery::DeliveryOutcome;
using delivery::Fill;

// Records each step as a word. The `failingCall`th call of the step named
// `failing` goes wrong: a check answers the unwelcome way ("exists", "entries"),
// any other step fails.
class ScriptedDelivery final : public delivery::DeliverySteps {
 public:
  ScriptedDelivery(std::string failing, std::string package, int failingCall = 1)
      : failing_(std::move(failing)),
        failingCall_(failingCall),
        package_(std::move(package)),
        bytesLeft_(static_cast<int64_t>(package_.size())) {}

  int BuildPayloadPath() override { return Step("path"); }
  int PayloadPathExists() override { return !Step("exists"); }
  int CreatePayloadFile() override { return Step("create"); }
  int CountPackageBytesLeft(int64_t* count) override {
    *count = bytesLeft_;
    return Step("count");
  }
  int ReadPackageChunk(void* buffer, uint32_t size, uint32_t* count) override {
    EXPECT_LE(size, 1000u);
    readSizes_.push_back(size);
    *count = 0;
    if (!Step("read")) return 0;
    *count = static_cast<uint32_t>(std::min<size_t>(size, package_.size() - position_));
    std::copy_n(package_.data() + position_, *count, static_cast<char*>(buffer));
    position_ += *count;
    return 1;
  }
  int WritePayloadChunk(const void* buffer, uint32_t count) override {
    if (!Step("write")) return 0;
    payload_.append(static_cast<const char*>(buffer), count);
    return 1;
  }
  int CutTrailer() override { return Step("cut"); }
  void ClosePayloadFile() override { Note("close payload"); }
  void ClosePackageFile() override { Note("close package"); }
  void DeletePayloadFile() override { Note("delete payload"); }
  int MakeWorkFolder() override { return Step("work"); }
  void RemoveWorkFolder() override { Note("remove work"); }
  int StartPayload() override { return Step("start"); }
  void WaitForPayload() override { Note("wait"); }
  int PrepareDestinationFolder() override { return Step("destination"); }
  int MoveResults() override { return Step("move"); }
  int WorkFolderHoldsEntries() override { return !Step("entries"); }
  void ShowMessage(int messageId, messages::Caption caption, unsigned style, Fill fill) override {
    Note("message " + std::to_string(messageId) + (caption == messages::Caption::App ? " app " : " title ") +
         std::to_string(style) + (fill == Fill::PayloadPath ? " path" : ""));
  }

  // What the package counts from its position to its end (a certificate
  // table may follow); the whole package unless set.
  void set_bytes_left(int64_t bytesLeft) { bytesLeft_ = bytesLeft; }
  const std::string& trace() const { return trace_; }
  const std::string& payload() const { return payload_; }
  const std::vector<uint32_t>& read_sizes() const { return readSizes_; }

 private:
  void Note(const std::string& word) { trace_ += (trace_.empty() ? "" : ", ") + word; }
  int Step(const std::string& word) {
    Note(word);
    return word == failing_ && ++calls_[word] == failingCall_ ? 0 : 1;
  }

  std::string failing_;
  int failingCall_;
  std::map<std::string, int> calls_;
  std::string package_;
  int64_t bytesLeft_;
  std::vector<uint32_t> readSizes_;
  size_t position_ = 0;
  std::string payload_;
  std::string trace_;
};

struct DeliveryCase {
  const char* failing;
  const char* trace;
  DeliveryOutcome outcome;
};

void PrintTo(const DeliveryCase& c, std::ostream* out) { *out << "failing " << c.failing; }

class DeliveryEndings : public testing::TestWithParam<DeliveryCase> {};

// Every ending shows one message, closes the package file, and cleans up in its
// own order; only a move that left nothing behind completes.
TEST_P(DeliveryEndings, ShowOneMessageAndCleanUpInOrder) {
  ScriptedDelivery steps(GetParam().failing, "one chunk");
  EXPECT_EQ(delivery::RunDelivery(steps), GetParam().outcome);
  EXPECT_EQ(steps.trace(), GetParam().trace);
}

#define WRITTEN "path, exists, create, count, read, write, cut, close payload, close package"
#define RAN WRITTEN ", work, start, wait, destination, move"
INSTANTIATE_TEST_SUITE_P(
    Steps, DeliveryEndings,
    testing::Values(
        DeliveryCase{"none", RAN ", entries, remove work, delete payload, message 10 title 64",
                     DeliveryOutcome::Completed},
        DeliveryCase{"path", "path, message 6 app 48, close package", DeliveryOutcome::Stopped},
        DeliveryCase{"exists", "path, exists, message 5 app 48 path, close package",
                     DeliveryOutcome::Stopped},
        DeliveryCase{"create", "path, exists, create, message 6 app 48, close package",
                     DeliveryOutcome::Stopped},
        DeliveryCase{
            "count",
            "path, exists, create, count, close payload, close package, message 2 app 48, delete payload",
            DeliveryOutcome::Stopped},
        DeliveryCase{"read",
                     "path, exists, create, count, read, close payload, close package, message 2 app 48, "
                     "delete payload",
                     DeliveryOutcome::Stopped},
        DeliveryCase{
            "write",
            "path, exists, create, count, read, write, close payload, close package, message 6 app 48, "
            "delete payload",
            DeliveryOutcome::Stopped},
        DeliveryCase{"cut", WRITTEN ", message 6 app 48, delete payload", DeliveryOutcome::Stopped},
        DeliveryCase{"work", WRITTEN ", work, message 7 app 48, delete payload", DeliveryOutcome::Stopped},
        DeliveryCase{"start", WRITTEN ", work, start, message 7 app 48, delete payload, remove work",
                     DeliveryOutcome::Stopped},
        DeliveryCase{"destination", WRITTEN ", work, start, wait, destination, message 9 app 48, remove work",
                     DeliveryOutcome::Stopped},
        DeliveryCase{"move", RAN ", message 9 app 48, remove work", DeliveryOutcome::Stopped},
        DeliveryCase{"entries", RAN ", entries, message 9 app 48, remove work", DeliveryOutcome::Stopped}),
    [](const testing::TestParamInfo<DeliveryCase>& info) { return std::string(info.param.failing); });
#undef RAN
#undef WRITTEN

std::string Bytes(size_t length) {
  std::string bytes(length, '\0');
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  return bytes;
}

class CopyLengths : public testing::TestWithParam<size_t> {};

// Every byte arrives once and in order, whether the package ends inside a
// chunk, on a chunk's border or at once.
TEST_P(CopyLengths, CopiesEveryByteInThousandByteChunks) {
  const std::string package = Bytes(GetParam());
  ScriptedDelivery steps("none", package);
  EXPECT_EQ(delivery::CopyPayload(steps, static_cast<int64_t>(package.size())), CopyResult::Copied);
  EXPECT_EQ(steps.payload(), package);
}

INSTANTIATE_TEST_SUITE_P(Lengths, CopyLengths, testing::Values(0, 8, 999, 1000, 1001, 2000, 2500));

// The delivery copies what the package counts to its end, not the whole file.
TEST(DeliveryCopy, StopsWhereThePackageEnds) {
  ScriptedDelivery steps("none", "payload+trailer|certificate table");
  steps.set_bytes_left(15);
  EXPECT_EQ(delivery::RunDelivery(steps), DeliveryOutcome::Completed);
  EXPECT_EQ(steps.payload(), "payload+trailer");
}

struct BoundCase {
  const char* name;
  size_t fileLength;
  int64_t bytesLeft;
  std::vector<uint32_t> readSizes;
  size_t copied;
};

class CopyBounds : public testing::TestWithParam<BoundCase> {};

// The copy stops at the package's end even when the file goes on (a signed
// package's certificate table), asks for no byte beyond it, and still ends
// early at a file cut shorter than the count.
TEST_P(CopyBounds, CopiesUpToThePackageEndOnly) {
  const BoundCase& bound = GetParam();
  const std::string file = Bytes(bound.fileLength);
  ScriptedDelivery steps("none", file);
  EXPECT_EQ(delivery::CopyPayload(steps, bound.bytesLeft), CopyResult::Copied);
  EXPECT_EQ(steps.payload(), file.substr(0, bound.copied));
  EXPECT_EQ(steps.read_sizes(), bound.readSizes);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, CopyBounds,
    testing::Values(BoundCase{"InsideAChunk", 2600, 1500, {1000, 500}, 1500},
                    BoundCase{"OnAChunkBorder", 2600, 2000, {1000, 1000}, 2000},
                    BoundCase{"BeforeTheFirstByte", 2600, 0, {}, 0},
                    BoundCase{"BehindThePosition", 2600, -5, {}, 0},
                    BoundCase{"FileShorterThanCount", 1200, 5000, {1000, 1000, 1000}, 1200}),
    [](const testing::TestParamInfo<BoundCase>& info) { return std::string(info.param.name); });

// A failure in the middle of the copy ends it there: nothing is written after
// a failed read, nothing read after a failed write.
TEST(CopyFailures, StopAtTheFailedChunk) {
  const std::string package = Bytes(3500);

  ScriptedDelivery readFails("read", package, 3);
  EXPECT_EQ(delivery::CopyPayload(readFails, 3500), CopyResult::ReadFailed);
  EXPECT_EQ(readFails.payload(), package.substr(0, 2000));
  EXPECT_EQ(readFails.trace(), "read, write, read, write, read");

  ScriptedDelivery writeFails("write", package, 2);
  EXPECT_EQ(delivery::CopyPayload(writeFails, 3500), CopyResult::WriteFailed);
  EXPECT_EQ(writeFails.payload(), package.substr(0, 1000));
  EXPECT_EQ(writeFails.trace(), "read, write, read, write");
}

struct ListCase {
  size_t folderLength;
  const char* suffix;
  size_t listSize;
  bool fits;
};

void PrintTo(const ListCase& c, std::ostream* out) {
  *out << c.folderLength << " + \"" << c.suffix << "\" in " << c.listSize;
}

class PathLists : public testing::TestWithParam<ListCase> {};

// The text fits only with both NULs behind it; a list that does not fit is
// left empty, and nothing is written past the buffer (ASan watches the exact
// size).
TEST_P(PathLists, HoldTextAndTwoNulsOrNothing) {
  const ListCase& c = GetParam();
  const std::string folder(c.folderLength, 'f');
  std::string list(c.listSize, 'x');
  const int fitted = delivery::BuildPathList(folder.c_str(), c.suffix, list.data(), c.listSize);
  EXPECT_EQ(fitted != 0, c.fits);
  const std::string text = c.fits ? folder + c.suffix : "";
  EXPECT_EQ(list, text + std::string(c.listSize - text.size(), '\0'));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PathLists,
    testing::Values(ListCase{12, delivery::kAllEntries, delivery::kSourceListSize, true},
                    ListCase{254, delivery::kAllEntries, delivery::kSourceListSize, true},
                    ListCase{255, delivery::kAllEntries, delivery::kSourceListSize, false},
                    ListCase{259, "", 261, true}, ListCase{0, "", 2, true}));

}  // namespace
