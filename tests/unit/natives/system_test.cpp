// The system natives where Vek code cannot see enough: the instant that now
// answers in any zone, and extend reviving a removed map entry.
#include "runtime/natives/system.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <optional>
#include <string>

#include "platform/os.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/compound/date.h"
#include "runtime/datatypes/container/map.h"
#include "runtime/tables/hash_table.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/stack_fixture.h"

namespace vek {
namespace {

constexpr int32_t EPOCH_DAY_NUMBER = 719468;  // 1 January 1970

class SystemNatives : public test::NativeFrameTest {
protected:
    void SetUp() override {
        NativeFrameTest::SetUp();
        saved_zone_ = platform::get_env("TZ");
    }
    void TearDown() override {
        platform::set_env("TZ", saved_zone_ ? saved_zone_->c_str() : nullptr);
        NativeFrameTest::TearDown();
    }

    // The value of the source's last expression.
    Cell run(const char* source) {
        Cell code = test::load_code(source);
        return *test::result_of(&code, source);
    }

private:
    std::optional<std::string> saved_zone_;
};

// The local date and the stored time of day together name one instant: the
// current one, whatever the zone, on whichever side of midnight UTC the local
// date lies.
TEST_F(SystemNatives, NowNamesTheCurrentInstantInEveryZone) {
    for (const char* zone : {"UTC0", "XST-14", "XST+11", "XST-5:45", "XST+3:30"}) {
        platform::set_env("TZ", zone);
        Cell date = run("now/precise");
        uint32_t packed = date::packed_date(&date);
        ASSERT_TRUE(date::has_time(packed)) << zone;
        double stored = cell_get_f64(&date);
        double local = stored + date::zone_seconds(packed);
        EXPECT_TRUE(local >= 0.0 && local < 86400.0) << zone << " local " << local;
        double instant = double(date::day_number(packed) - EPOCH_DAY_NUMBER) * 86400.0 + stored;
        EXPECT_LT(std::fabs(instant - double(std::time(nullptr))), 2.0) << zone;
    }
}

TEST_F(SystemNatives, ExtendRevivesARemovedEntryInItsPlace) {
    Cell map = run("#[a 1 b 2]");
    hash_table::remove_cell(map::table(&map), series_buffer(&map)->cells());
    ASSERT_EQ(map::entry_count(&map), 1);
    Cell spec_value = test::load("c 4 a 3");
    map::extend(&map, &spec_value, false);
    EXPECT_EQ(map::entry_count(&map), 3);
    EXPECT_EQ(test::molded(map, {.flat = true}), "#[a: 3 b: 2 c: 4]");
}

}  // namespace
}  // namespace vek
