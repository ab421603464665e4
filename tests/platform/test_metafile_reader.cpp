// The metafile reader as a program: what it answers on its standard output for a request
// on its standard input.
#include <gtest/gtest.h>

#include <QProcess>
#include <string>

#include "tests/platform/metafile_writer.h"

namespace ombrix {
namespace {

using testing::Fixture;

struct RequestRow {
  const char* name;
  QByteArray request;
  char answer;
  int width, height;  // after a picture
};

void PrintTo(const RequestRow& row, std::ostream* os) { *os << row.name; }

class ReaderProgram : public ::testing::TestWithParam<RequestRow> {};

TEST_P(ReaderProgram, AnswersTheRequest) {
  const RequestRow& row = GetParam();
  QProcess reader;
  reader.start(QStringLiteral(OMBRIX_READER_PATH), QStringList());
  ASSERT_TRUE(reader.waitForStarted());
  reader.write(row.request);
  reader.closeWriteChannel();
  ASSERT_TRUE(reader.waitForFinished(30000));
  EXPECT_EQ(reader.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(reader.exitCode(), 0);
  const QByteArray answer = reader.readAllStandardOutput();
  ASSERT_FALSE(answer.isEmpty());
  EXPECT_EQ(answer[0], row.answer);
  if (row.answer != 'M') {
    EXPECT_EQ(answer.size(), 1);
    return;
  }
  ASSERT_GE(answer.size(), 9);
  auto le32 = [&](int at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(answer[at + i]);
    return static_cast<int>(v);
  };
  EXPECT_EQ(le32(1), row.width);
  EXPECT_EQ(le32(5), row.height);
  EXPECT_EQ(answer.size(), 9 + qsizetype{row.width} * row.height * 4);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReaderProgram,
    ::testing::Values(RequestRow{"nothing", QByteArray(), 'I', 0, 0},
                      RequestRow{"unknown_request", "X" + Fixture("shapes.emf"), 'I', 0, 0},
                      RequestRow{"emf_of_text", QByteArray("Eno metafile"), 'I', 0, 0},
                      RequestRow{"wmf_of_text", QByteArray("Wno metafile"), 'I', 0, 0},
                      RequestRow{"emf", "E" + Fixture("shapes.emf"), 'M', 162, 121},
                      RequestRow{"wmf", "W" + Fixture("shapes.wmf"), 'M', 160, 120}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace ombrix
