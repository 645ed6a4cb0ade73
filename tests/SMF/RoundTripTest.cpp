#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "SMF/SMF.h"
#include "tests/SMF/SMFTestUtil.h"

namespace {

Bytes readFile(const std::filesystem::path& inPath)
{
    std::ifstream in(inPath, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Everything an event carries, in one comparable value.
std::vector<int64_t> fingerprint(const CMidiEvent& e)
{
    std::vector<int64_t> out = {e.getType(), e.time, e.getDataType(), e.getDataSize()};
    if (const CMidiShortEvent* s = e.getShortData()) {
        out.push_back(s->getStatus());
    } else if (const CMidiMetaEvent* m = e.getMetaData()) {
        out.push_back(m->getTypeByte());
    }
    Bytes param(e.getDataSize());
    if (!param.empty()) {
        e.getDataParam(param.data());
    }
    out.insert(out.end(), param.begin(), param.end());
    return out;
}

std::vector<std::vector<int64_t>> fingerprint(const CSMF& smf)
{
    std::vector<std::vector<int64_t>> out;
    out.push_back({smf.getHeader().getFormat(), smf.getHeader().getTrackCount(), smf.getHeader().getDivision()});
    for (const CMidiTrack* track : smf.getTracks()) {
        out.push_back({-1});
        for (const CMidiEvent* e : track->getEvents()) {
            out.push_back(fingerprint(*e));
        }
    }
    return out;
}

Bytes writeImage(CSMF& smf)
{
    Bytes out(smf.GetFileSize(), 0);
    uint32_t written = 0;
    EXPECT_TRUE(smf.getData(out.data(), written));
    EXPECT_EQ(out.size(), written);
    return out;
}

TEST(RoundTripTest, EverySampleFileSurvivesWriteAndRead)
{
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(MIRELO_TEST_DATA_DIR)) {
        if (entry.path().extension() != ".mid") {
            continue;
        }
        SCOPED_TRACE(entry.path().string());
        ++files;
        const Bytes image = readFile(entry.path());
        CSMF first;
        uint32_t consumed = 0;
        ASSERT_TRUE(first.setData(image.data(), static_cast<uint32_t>(image.size()), consumed));
        const Bytes written = writeImage(first);

        CSMF second;
        consumed = 0;
        ASSERT_TRUE(second.setData(written.data(), static_cast<uint32_t>(written.size()), consumed));
        EXPECT_EQ(written.size(), consumed);
        EXPECT_EQ(fingerprint(first), fingerprint(second));
        EXPECT_EQ(written, writeImage(second));
    }
    EXPECT_GE(files, 4u);
}

} // namespace
