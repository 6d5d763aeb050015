#include "app/ControllerHarness.h"
#include "app/SamplingResources.h"
#include "platform/dispatch/SerialQueue.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/RecordingContext.h"
#include "platform/system/AcceleratorRegistry.h"
#include "platform/system/HwmonSmcEmulator.h"
#include "platform/system/InterfaceList.h"
#include "platform/system/ProcessorTicks.h"
#include "platform/system/VMStatistics.h"
#include "sources/ComputeReader.h"
#include "sources/ExternalDevicesReader.h"
#include "sources/FanReader.h"
#include "sources/MachineIdentity.h"
#include "sources/MemoryReader.h"
#include "sources/NetworkReader.h"
#include "sources/TemperatureReader.h"
#include "statusbar/MenuBarContentView.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <net/if_arp.h>
#include <string>
#include <vector>

namespace pulsedeck {
namespace {

namespace fs = std::filesystem;

// The rates the scripted interface counters run at, in bytes per second.
constexpr double downloadRate = 1'240'000;
constexpr double uploadRate = 86'000;

// Samples taken, one second apart; the figures the test checks are those of the last.
constexpr int sampleCount = 24;
// Processor ticks per second in the rewritten counters, and the busy share of the last second.
constexpr long ticksPerSecond = 1000;
constexpr long lastBusyTicks = 430;

// eth0 of the network fixture, its counters running on the controller's clock: a swell over the
// early samples for the graph to show, then the fixed rates alone for the last second. lo beside
// it, which the list leaves out.
class ClockedLinks final : public sys::LinkDumpSource {
public:
    explicit ClockedLinks(const dispatch::Clock& clock) : clock_(clock), start_(clock.now()) {}
    bool dump(std::vector<sys::InterfaceLink>& links) override {
        const double elapsed = clock_.now() - start_;
        const double swell = 1 - std::cos(std::min(elapsed, sampleCount - 2.0) / 2);
        const std::uint32_t upRunning = sys::interfaceFlagUp | sys::interfaceFlagRunning;
        links = {
            {1, "lo", upRunning, ARPHRD_LOOPBACK, 900'000'000, 900'000'000},
            {2, "eth0", upRunning, ARPHRD_ETHER,
             std::uint64_t(5'000'000 + std::llround(downloadRate * (elapsed + swell))),
             std::uint64_t(700'000 + std::llround(uploadRate * (elapsed + 2 * swell)))},
        };
        return true;
    }

private:
    const dispatch::Clock& clock_;
    double start_;
};

class FixtureMemory final : public MemorySource {
public:
    explicit FixtureMemory(const sys::SystemRoots& roots)
        : reader_(std::make_unique<sys::VMStatistics>(
              roots, sys::MachineMemory{8ull * 1024 * 1024 * 1024, 4096})) {}
    MemorySnapshot sample() override { return reader_.sample(); }

private:
    SystemMemoryReader reader_;
};

class FixtureFan final : public FanSource {
public:
    FixtureFan(std::shared_ptr<sys::SmcTransport> transport, const MachineIdentity& machine)
        : reader_(std::move(transport), machine) {}
    FanSnapshot sample() override { return reader_.sample(); }

private:
    FanReader reader_;
};

class FixtureNetwork final : public NetworkSource {
public:
    FixtureNetwork(const sys::SystemRoots& roots, const dispatch::Clock& clock)
        : reader_(sys::InterfaceList(roots, std::make_unique<ClockedLinks>(clock)), clock) {}
    NetworkSnapshot sample(bool enabled) override { return reader_.sample(enabled); }

private:
    NetworkReader reader_;
};

class FixtureTemperature final : public TemperatureSource {
public:
    FixtureTemperature(std::shared_ptr<sys::SmcTransport> transport, const dispatch::Clock& clock,
                       const MachineIdentity& machine)
        : reader_(std::move(transport), clock, machine) {}
    TemperatureSnapshot sample() override { return reader_.sample(); }

private:
    TemperatureReader reader_;
};

class FixtureCompute final : public ComputeSource {
public:
    FixtureCompute(const sys::SystemRoots& roots, const dispatch::Clock& clock)
        : reader_(std::make_unique<sys::ProcessorTicks>(roots, 8),
                  std::make_unique<sys::AcceleratorRegistry>(roots), clock) {}
    ComputeSnapshot sample(bool enabled) override { return reader_.sample(enabled); }

private:
    ComputeReader reader_;
};

// The devices reader over the devices fixture; its background reads run on a queue of its own
// that the test runs by hand, kept alive with the reader.
class FixtureDevices final : public DevicesSource {
public:
    explicit FixtureDevices(const fs::path& root) {
        ExternalDevicesEnvironment environment;
        environment.roots = sys::SystemRoots::under(root);
        environment.roots.profilerCommand = testsupport::fixturePath("profiler/good.sh");
        environment.freeSpace = [](const fs::path&) -> std::optional<std::uint64_t> {
            return 20'000'000'000;
        };
        environment.workQueue = work_.get();
        environment.hotPlug = [](sys::UeventMonitor::Handler) {
            return std::unique_ptr<sys::UeventMonitor>();
        };
        reader_ = ExternalDevicesReader::create({}, environment);
    }
    ExternalDevicesSnapshot sample(double now) override { return reader_->sample(now); }
    void setChangedAction(std::function<void()> action) override {
        reader_->changedAction = std::move(action);
    }
    dispatch::SerialQueue& work() { return *work_; }

private:
    std::unique_ptr<dispatch::SerialQueue> work_ = std::make_unique<dispatch::SerialQueue>(
        "fixture-devices", dispatch::SerialQueue::Execution::manual);
    std::shared_ptr<ExternalDevicesReader> reader_;
};

// Measures of one module's pixels in a strip render.
struct ModulePixels {
    int solid = 0;    // at least nine-tenths covered
    int coloured = 0; // solid and plainly of a hue (charts, bars, the rotor's ring)
    int ink = 0;      // grey far off the menu-bar grey: text, the badge
};

// The controller launched over the fixture machines: the real readers, the sampling job and the
// status-item rebuild, all on the harness's virtual clock.
class FixtureStripRenderTest : public testing::ControllerHarness {
protected:
    void SetUp() override {
        fs::create_directories(computeRoot.path() / "proc");
        writeTicks(0);
        fs::copy(testsupport::fixturePath("compute/gpus/sys"), computeRoot.path() / "sys",
                 fs::copy_options::recursive);

        AppDelegate::Environment env = environment();
        env.makeResources = [this] {
            const auto hwmon = sys::SystemRoots::under(testsupport::fixturePath("hwmon-desktop"));
            const MachineIdentity machine = MachineIdentity::read(hwmon);
            auto controller = std::make_shared<sys::HwmonSmcEmulator>(hwmon, clock);
            auto devicesSource =
                std::make_unique<FixtureDevices>(testsupport::fixturePath("devices"));
            devices = devicesSource.get();
            return std::make_shared<SamplingResources>(
                std::make_unique<FixtureMemory>(
                    sys::SystemRoots::under(testsupport::fixturePath("memory/typical"))),
                std::make_unique<FixtureFan>(controller, machine),
                std::make_unique<FixtureNetwork>(
                    sys::SystemRoots::under(testsupport::fixturePath("network")), clock),
                std::make_unique<FixtureTemperature>(controller, clock, machine),
                std::make_unique<FixtureCompute>(sys::SystemRoots::under(computeRoot.path()),
                                                 clock),
                std::move(devicesSource));
        };
        defaults->setBool(true, PreferenceKey::hasLaunched);
        defaults->setBool(true, PreferenceKey::menuBarTipShown);
        delegate = AppDelegate::create(env);
        app.setDelegate(delegate);
        app.finishLaunching();
        pump();
        ASSERT_NE(devices, nullptr);

        // The first sample sets the baselines and starts the devices reader's background reads;
        // every later one, a second after the last, has rates, a processor load and the merged
        // device list.
        devices->work().runPending();
        pump();
        for (int second = 1; second < sampleCount; ++second) {
            const bool last = second == sampleCount - 1;
            writeTicks(last ? lastBusyTicks : std::lround(250 + 200 * std::sin(second / 3.0)));
            advance(1);
        }
    }

    // Adds a second of processor ticks to the fixture's counters, `busy` of them busy (seven in
    // ten user time), and rewrites the counters in place: the source keeps its file open.
    void writeTicks(long busy) {
        const long user = busy * 7 / 10;
        user_ += user;
        system_ += busy - user;
        idle_ += ticksPerSecond - busy;
        std::ofstream(computeRoot.path() / "proc" / "stat", std::ios::trunc)
            << "cpu  " << user_ << " 200 " << system_ << ' ' << idle_
            << " 700 40 60 80 0 0\ncpu0 5000 100 1500 25000 350 20 30 40 0 0\nintr 1 0\nctxt 2\n";
    }

    gfx::Bitmap paint(bool dark, double scale = 2) {
        MenuBarContentView& strip = *delegate->statusStrip().view();
        const double height = strip.presentationHeight().value_or(strip.bounds().height());
        gfx::Bitmap bitmap = gfx::Bitmap::forPointSize({strip.requiredWidth(), height}, scale);
        gfx::Context context(bitmap, dark ? gfx::Appearance::dark : gfx::Appearance::light);
        context.setFillColor(gfx::Color::grey(dark ? 0.16 : 0.92));
        context.fillRect({{0, 0}, bitmap.size()});
        strip.drawStrip(context, false, {{0, 0}, bitmap.size()});
        return bitmap;
    }

    // Pixels of a module's rect in a render over the plain menu-bar grey, at scale 2.
    ModulePixels measure(const gfx::Bitmap& bitmap, const gfx::Rect& rect, bool dark) const {
        ModulePixels counts;
        const double height = bitmap.size().height;
        for (int row = int(std::ceil((height - rect.maxY()) * 2));
             row < int((height - rect.minY()) * 2); ++row) {
            for (int column = int(std::ceil(rect.minX() * 2)); column < int(rect.maxX() * 2);
                 ++column) {
                const gfx::Rgba8 pixel = bitmap.pixel(column, row);
                const int high = std::max({pixel.red, pixel.green, pixel.blue});
                const int low = std::min({pixel.red, pixel.green, pixel.blue});
                // Text is grey and stands far off the grey under the strip, 235 light or 41 dark.
                const int luma = (pixel.red * 3 + pixel.green * 6 + pixel.blue) / 10;
                const bool textLike = high - low < 30 && std::abs(luma - (dark ? 41 : 235)) > 120;
                counts.coloured += high - low > 90;
                counts.ink += textLike;
                counts.solid += high - low > 90 || textLike;
            }
        }
        return counts;
    }

    // The heights in pixels of the coloured columns in the left third of the compute module, one
    // per bar, left to right.
    std::vector<int> barHeights(const gfx::Bitmap& bitmap, const gfx::Rect& rect) const {
        std::vector<int> heights;
        bool inBar = false;
        const double height = bitmap.size().height;
        for (int column = int(std::ceil(rect.minX() * 2));
             column < int((rect.minX() + rect.width() / 3) * 2); ++column) {
            int coloured = 0;
            for (int row = int(std::ceil((height - rect.maxY()) * 2));
                 row < int((height - rect.minY()) * 2); ++row) {
                const gfx::Rgba8 pixel = bitmap.pixel(column, row);
                coloured += std::max({pixel.red, pixel.green, pixel.blue}) -
                                std::min({pixel.red, pixel.green, pixel.blue}) >
                            90;
            }
            if (coloured > 0 && !inBar)
                heights.push_back(0);
            if (coloured > 0)
                heights.back() = std::max(heights.back(), coloured);
            inBar = coloured > 0;
        }
        return heights;
    }

    testsupport::TemporaryDirectory computeRoot;
    FixtureDevices* devices = nullptr;
    // The fixture's user, system and idle ticks, as they stand.
    long user_ = 10000;
    long system_ = 3000;
    long idle_ = 50000;
};

TEST_F(FixtureStripRenderTest, TheReadersFiguresReachTheStrip) {
    const SamplingState& d = delegate->sampling();
    // Two fans of the desktop fixture with their maxima, the package sensor, 43 % of the
    // processor and the busiest awake accelerator, the scripted eth0 rates, and the fixture's
    // external devices once the background reads have been merged.
    ASSERT_EQ(d.fanSnapshot.fans.size(), 2u);
    EXPECT_EQ(d.fanSnapshot.fans[0].rpm, 2400);
    EXPECT_EQ(d.fanSnapshot.fans[0].maximum, 4900);
    EXPECT_EQ(d.fanSnapshot.fans[1].rpm, 1200);
    EXPECT_EQ(d.fanSnapshot.detectedCount, 2);
    EXPECT_TRUE(d.fanAvailable);
    EXPECT_EQ(d.temperatureSnapshot.celsius, 61.0);
    ASSERT_TRUE(d.computeSnapshot.cpu);
    EXPECT_NEAR(*d.computeSnapshot.cpu, 43, 1e-9);
    EXPECT_EQ(d.computeSnapshot.gpu, 55.0);
    EXPECT_EQ(d.networkSnapshot.download, downloadRate);
    EXPECT_EQ(d.networkSnapshot.upload, uploadRate);
    EXPECT_EQ(d.latest.physical, "8.00 GB");
    EXPECT_EQ(d.devicesSnapshot.devices.size(), 6u);
    EXPECT_EQ(d.history.size(), std::size_t(sampleCount));

    // The rebuild put them on the strip: every module has its place, and the label says what
    // the images show.
    const MenuBarContentView& strip = *delegate->statusStrip().view();
    EXPECT_EQ(strip.fanMode(), FanDisplayMode::ring);
    for (ModuleKind kind : allModuleKinds)
        EXPECT_TRUE(strip.moduleWidth(kind)) << toString(kind);
    const std::string label = strip.toolTip();
    for (const char* figure : {"2400 RPM", "1200 RPM", "61 \u00b0C", "CPU: 43%", "GPU: 55%",
                               "1.2 MB/s", "86 KB/s", "Harbor TS4 Dock", "Kestrel Flash 64"})
        EXPECT_NE(label.find(figure), std::string::npos) << figure << " not in: " << label;
}

TEST_F(FixtureStripRenderTest, EveryModuleDrawsItsFiguresLightAndDark) {
    for (bool dark : {false, true}) {
        details()->editLook([=](StripLook& l) {
            l.appearance = dark ? AppearanceMode::dark : AppearanceMode::light;
        });
        pump();
        MenuBarContentView& strip = *delegate->statusStrip().view();
        const double height = strip.presentationHeight().value_or(strip.bounds().height());

        // One image per module at its own rect, the fan as its ring with a rotor on it.
        gfx::RecordingContext recorded({strip.requiredWidth(), height}, 2,
                                       dark ? gfx::Appearance::dark : gfx::Appearance::light);
        strip.drawStrip(recorded, false, {0, 0, strip.requiredWidth(), height});
        const auto images = recorded.log().images();
        for (ModuleKind kind : allModuleKinds) {
            const gfx::Rect rect = strip.rect(kind);
            const auto drawn = std::count_if(images.begin(), images.end(), [&](const auto& image) {
                return std::abs(image.destination.midX() - rect.midX()) < 0.5 &&
                       image.destination.width() > 4;
            });
            EXPECT_EQ(drawn, kind == ModuleKind::fan ? 2 : 1) << toString(kind);
        }

        const gfx::Bitmap bitmap = paint(dark);
        const std::string name = std::string("fixture-strip-") + (dark ? "dark" : "light");
        EXPECT_TRUE(bitmap.writePng(testsupport::artifactPath(name + ".png").string()));

        auto pixels = [&](ModuleKind kind) { return measure(bitmap, strip.rect(kind), dark); };
        // Memory: its pressure chart and the four figures of the fixture.
        EXPECT_GT(pixels(ModuleKind::memory).coloured, 100);
        EXPECT_GT(pixels(ModuleKind::memory).ink, 400);
        // Network: the rates as text beside the graph.
        EXPECT_GT(pixels(ModuleKind::network).ink, 150);
        // Temperature: the chart and "61 °C".
        EXPECT_GT(pixels(ModuleKind::temperature).ink, 60);
        EXPECT_GT(pixels(ModuleKind::temperature).coloured, 10);
        // Compute: the CPU and GPU bars in colour and their percentages.
        EXPECT_GT(pixels(ModuleKind::compute).coloured, 60);
        EXPECT_GT(pixels(ModuleKind::compute).ink, 80);
        // The bars stand at the load they were given: the GPU's 55 % above the CPU's 43 %.
        const auto bars = barHeights(bitmap, strip.rect(ModuleKind::compute));
        ASSERT_EQ(bars.size(), 2u);
        EXPECT_GT(bars[1], bars[0]);
        EXPECT_NEAR(double(bars[0]) / bars[1], 43.0 / 55, 0.12);
        // Fan: the ring in the fan colour around the rotor.
        EXPECT_GT(pixels(ModuleKind::fan).coloured, 80);
        // Devices: the glyph, and the count badge in its top right corner.
        const gfx::Rect devicesRect = strip.rect(ModuleKind::devices);
        EXPECT_GT(pixels(ModuleKind::devices).solid, 60);
        const gfx::Rect badge{devicesRect.maxX() - 11, devicesRect.maxY() - 11, 10, 10};
        EXPECT_GT(measure(bitmap, badge, dark).ink, 10);
    }
}

} // namespace
} // namespace pulsedeck
