// Thousands of random triplets in random order, with valid or null data: the source never
// crashes or hangs, answers every call with a return code, and stays in states 3 to 7.
#include <dlfcn.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "SessionFixture.h"
#include "support/BuildPaths.h"
#include "support/TripletValues.h"
#include "twain/DataSourceEntry.h"
#include "twain/TwainDriverModule.h"
#include "twain/capabilities/CapabilityCatalogue.h"

namespace session_test {
namespace {

constexpr int kCallsPerRun = 3000;

bool IsReturnCode(TW_UINT16 result) { return result <= TWRC_SCANNERLOCKED; }

template <typename T, std::size_t N>
T Pick(std::mt19937& random, const T (&choices)[N]) {
  return choices[std::uniform_int_distribution<std::size_t>(0, N - 1)(random)];
}

// Makes triplets as a careless but well-formed application would: every data pointer is null
// or points at a structure of the right kind, every pointer inside it is null or valid.
// Releases what the source hands out, as an application must.
class TripletGenerator {
 public:
  TripletGenerator(std::uint32_t seed, const std::filesystem::path& folder)
      : random_(seed), fileName_((folder / "transfer.bmp").string()), memory_(64 * 1024) {
    std::strncpy(sourceIdentity_.ProductName, "Velloran", sizeof(sourceIdentity_.ProductName) - 1);
    sourceIdentity_.Id = 21;
  }
  TripletGenerator(const TripletGenerator&) = delete;
  TripletGenerator& operator=(const TripletGenerator&) = delete;
  ~TripletGenerator() { std::free(ourContainer_); }

  // The next call; its data stays valid until the next one.
  TwainTriplet Next() {
    std::free(ourContainer_);
    ourContainer_ = nullptr;
    std::memset(data_, 0, sizeof(data_));
    TwainTriplet triplet = PickTriplet();
    triplet.origin = PickOrigin();
    triplet.data = Chance(10) ? nullptr : FillData(triplet);
    last_ = triplet;
    return triplet;
  }

  // Frees what the source allocated for the application in the last call.
  void Collect(TW_UINT16 result) {
    if (last_.data == nullptr || last_.dg != DG_CONTROL) {
      if (last_.data != nullptr && last_.dg == DG_IMAGE && last_.dat == DAT_IMAGENATIVEXFER &&
          (result == TWRC_XFERDONE || result == TWRC_SUCCESS)) {
        void* handle = nullptr;
        std::memcpy(&handle, data_, sizeof(handle));
        std::free(handle);
      }
      return;
    }
    if (last_.dat != DAT_CAPABILITY) return;
    switch (last_.msg) {
      case MSG_GET:
      case MSG_GETCURRENT:
      case MSG_GETDEFAULT:
      case MSG_RESET:
      case MSG_QUERYSUPPORT: {
        TW_CAPABILITY capability;
        std::memcpy(&capability, data_, sizeof(capability));
        if (capability.hContainer != ourContainer_) std::free(capability.hContainer);
        break;
      }
      default:
        break;
    }
  }

  bool Chance(int percent) { return std::uniform_int_distribution<int>(0, 99)(random_) < percent; }

 private:
  TwainTriplet PickTriplet() {
    static constexpr TwainTriplet kSession[] = {
        {nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, nullptr},
        {nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr},
        {nullptr, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, nullptr},
        {nullptr, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, nullptr},
        {nullptr, DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, nullptr},
        {nullptr, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, nullptr},
        {nullptr, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, nullptr},
        {nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, nullptr},
        {nullptr, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, nullptr},
        {nullptr, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, nullptr},
        {nullptr, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr},
        {nullptr, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, nullptr},
    };
    static constexpr TW_UINT16 kMessages[] = {
        MSG_NULL,      MSG_GET,       MSG_GETCURRENT, MSG_GETDEFAULT,  MSG_GETFIRST,   MSG_GETNEXT,
        MSG_SET,       MSG_RESET,     MSG_QUERYSUPPORT, MSG_XFERREADY, MSG_CLOSEDSREQ, MSG_OPENDS,
        MSG_CLOSEDS,   MSG_USERSELECT, MSG_DISABLEDS, MSG_ENABLEDS,    MSG_ENABLEDSUIONLY, MSG_PROCESSEVENT,
        MSG_ENDXFER,   MSG_STOPFEEDER, MSG_REGISTER_CALLBACK};
    static constexpr TW_UINT16 kCapabilityMessages[] = {MSG_GET,   MSG_GETCURRENT, MSG_GETDEFAULT,
                                                        MSG_SET,   MSG_RESET,      MSG_QUERYSUPPORT};

    const int kind = std::uniform_int_distribution<int>(0, 99)(random_);
    if (kind < 40) return Pick(random_, kSession);
    if (kind < 55) return {nullptr, DG_CONTROL, DAT_CAPABILITY, Pick(random_, kCapabilityMessages), nullptr};
    if (kind < 85) {
      return {nullptr, Pick(random_, test_support::kTripletGroups), Pick(random_, test_support::kTripletTypes),
              Pick(random_, kMessages), nullptr};
    }
    std::uniform_int_distribution<unsigned> any16(0, 0xFFFF);
    return {nullptr, Chance(50) ? Pick(random_, test_support::kTripletGroups) : static_cast<TW_UINT32>(random_()),
            static_cast<TW_UINT16>(any16(random_)), static_cast<TW_UINT16>(any16(random_)), nullptr};
  }

  TW_IDENTITY* PickOrigin() {
    const int roll = std::uniform_int_distribution<int>(0, 99)(random_);
    if (roll < 85) return &owner_;
    if (roll < 95) return &stranger_;
    return nullptr;
  }

  TW_MEMREF FillData(const TwainTriplet& triplet) {
    switch (triplet.dat) {
      case DAT_IDENTITY:
        std::memcpy(data_, &sourceIdentity_, sizeof(sourceIdentity_));
        break;
      case DAT_USERINTERFACE: {
        TW_USERINTERFACE ui{Chance(50) ? TW_TRUE : TW_FALSE, TW_TRUE, nullptr};
        std::memcpy(data_, &ui, sizeof(ui));
        break;
      }
      case DAT_CAPABILITY:
        FillCapability(triplet.msg);
        break;
      case DAT_SETUPFILEXFER: {
        TW_SETUPFILEXFER setup{};
        std::strncpy(setup.FileName, fileName_.c_str(), sizeof(setup.FileName) - 1);
        setup.Format = TWFF_BMP;
        std::memcpy(data_, &setup, sizeof(setup));
        break;
      }
      case DAT_IMAGEMEMXFER: {
        TW_IMAGEMEMXFER transfer{};
        transfer.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
        transfer.Memory.Length = static_cast<TW_UINT32>(memory_.size());
        transfer.Memory.TheMem = memory_.data();
        std::memcpy(data_, &transfer, sizeof(transfer));
        break;
      }
      default:
        break;  // zeroed: a fresh structure of any other kind, pointers inside it null
    }
    return data_;
  }

  void FillCapability(TW_UINT16 msg) {
    static constexpr TW_UINT16 kCapabilities[] = {CAP_XFERCOUNT,    ICAP_PIXELTYPE, ICAP_XRESOLUTION,
                                                  ICAP_BITDEPTH,    CAP_SUPPORTEDCAPS, ICAP_COMPRESSION,
                                                  CAP_UICONTROLLABLE, 0x7777};
    static constexpr TW_UINT16 kContainers[] = {TWON_ONEVALUE, TWON_ENUMERATION, TWON_DONTCARE16, TWON_ARRAY,
                                                TWON_RANGE};
    static constexpr TW_UINT16 kItemTypes[] = {TWTY_INT8,  TWTY_INT16, TWTY_INT32, TWTY_UINT8, TWTY_UINT16,
                                               TWTY_UINT32, TWTY_BOOL, TWTY_FIX32, 0x0042};
    TW_CAPABILITY capability{Pick(random_, kCapabilities), Pick(random_, kContainers), nullptr};
    if (msg == MSG_SET && !Chance(10)) {
      // Large enough for any of the small container kinds.
      ourContainer_ = std::calloc(1, 64);
      TW_ONEVALUE value{};
      value.ItemType = Pick(random_, kItemTypes);
      value.Item = static_cast<TW_UINT32>(random_());
      std::memcpy(ourContainer_, &value, sizeof(value));
      capability.hContainer = ourContainer_;
    }
    std::memcpy(data_, &capability, sizeof(capability));
  }

  std::mt19937 random_;
  std::string fileName_;
  std::vector<unsigned char> memory_;
  TW_IDENTITY owner_ = MakeIdentity(7, "Fuzzing application");
  TW_IDENTITY stranger_ = MakeIdentity(8, "Other application");
  TW_IDENTITY sourceIdentity_{};
  alignas(8) unsigned char data_[4096];  // larger than any structure a triplet carries
  void* ourContainer_ = nullptr;
  TwainTriplet last_;
};

class TripletFuzz : public ::testing::Test {
 protected:
  void SetUp() override {
    // Files on disk from an empty folder, no dialog unless asked: hidden enables start scans.
    std::filesystem::create_directories(scanFolder);
    settings->SetMode(1);
    settings->SetListMode(0);
    settings->SetCurrentDirectory(scanFolder.string());
    settings->SetAlwaysShowUI(false);
    settings->SetLoggerEnabled(true);
  }

  test_support::ScopedEnvironment environment;
  std::unique_ptr<SettingsStore> settings = test_support::PrepareSourceSettings();
  std::filesystem::path scanFolder = environment.Root() / "scans";
};

// Through the entry point's own code, so that the state can be watched after every call.
TEST_F(TripletFuzz, SourceInsideTheProcessStaysInItsStates) {
  ConfigureLogging(*settings);
  for (std::uint32_t seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    CTwainDriverModule module;
    module.SetDriver(std::make_unique<Velloran>(this, *settings));
    const TwainDriver& driver = *module.GetDriver();
    TripletGenerator generator(seed, environment.Temp());
    for (int call = 0; call < kCallsPerRun; ++call) {
      if (generator.Chance(2)) settings->SetAlwaysShowUI(generator.Chance(50));
      const TwainTriplet triplet = generator.Next();
      const TW_UINT16 result = EnterDataSource(triplet);
      generator.Collect(result);
      ASSERT_TRUE(IsReturnCode(result)) << "call " << call << " DG 0x" << std::hex << triplet.dg << " DAT 0x"
                                        << triplet.dat << " MSG 0x" << triplet.msg << ": " << result;
      const int state = driver.State();
      ASSERT_TRUE(state >= 300 && state <= 700 && state % 100 == 0) << "call " << call << ": state " << state;
    }
  }
  ShutdownLogging();
  capability_catalogue::RestoreInitialValues();
}

// The same through the exported DS_Entry of the built module.
TEST_F(TripletFuzz, LoadedModuleAnswersEveryCall) {
  void* module = dlopen(test_support::VelloranDsPath().c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  auto entry = reinterpret_cast<DSENTRYPROC>(dlsym(module, "DS_Entry"));
  ASSERT_NE(entry, nullptr);
  TripletGenerator generator(4, environment.Temp());
  for (int call = 0; call < kCallsPerRun; ++call) {
    const TwainTriplet triplet = generator.Next();
    const TW_UINT16 result = entry(triplet.origin, triplet.dg, triplet.dat, triplet.msg, triplet.data);
    generator.Collect(result);
    ASSERT_TRUE(IsReturnCode(result)) << "call " << call << ": " << result;
  }
  EXPECT_EQ(dlclose(module), 0);
}

}  // namespace
}  // namespace session_test
