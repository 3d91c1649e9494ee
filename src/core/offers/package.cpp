#include "offers/package.h"

#include <chrono>
#include <exception>
#include <limits>

#include "app/configuration_manager.h"
#include "telemetry/encoding.h"
#include "telemetry/json_number.h"
#include "telemetry/text_digest.h"

namespace zelvane {

namespace {

using json = nlohmann::json;

// A 64-bit requirement ("disk", "ram", "cpu"): any JSON number, a floating one truncated toward zero
// and held at the ends of the range; a boolean is refused like every other non-number.
std::int64_t JsonToInt64(const json& value) {
  switch (value.type()) {
    case json::value_t::number_integer:
      return value.get<std::int64_t>();
    case json::value_t::number_unsigned: {
      const auto number = value.get<std::uint64_t>();
      constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
      return number > kMax ? std::numeric_limits<std::int64_t>::max() : static_cast<std::int64_t>(number);
    }
    case json::value_t::number_float: {
      const double number = value.get<double>();
      constexpr double kLimit = 9223372036854775808.0;  // 2^63
      if (!(number > -kLimit)) return std::numeric_limits<std::int64_t>::min();
      if (!(number < kLimit)) return std::numeric_limits<std::int64_t>::max();
      return static_cast<std::int64_t>(number);
    }
    default:
      throw json::type_error::create(302, std::string("type must be number, but is ") + value.type_name(), &value);
  }
}

// Walks a list key as the library iterates it: an array's elements, an object's member values in key
// order, nothing for null and the value itself for a single scalar.
template <typename Visit>
void ForEachElement(const json& list, Visit&& visit) {
  for (const auto& element : list) visit(element);
}

class SteadyClock : public WaitClock {
 public:
  std::int64_t NowMs() override {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }
  void WaitFor(std::condition_variable& condition, std::unique_lock<std::mutex>& lock,
               std::int64_t milliseconds) override {
    condition.wait_for(lock, std::chrono::milliseconds(milliseconds));
  }
};

}  // namespace

WaitClock& SteadyWaitClock() {
  static SteadyClock clock;
  return clock;
}

// --- Construction ---

Package::Package(const RequestBase& base, const json& offer, bool mainProduct, const std::string& defaultChannel,
                 int offerPosition)
    : Package(base, offer, mainProduct, defaultChannel, offerPosition, ConfigurationManager::Instance()) {}

Package::Package(const RequestBase& base, const json& offer, bool mainProduct, const std::string& defaultChannel,
                 int offerPosition, std::shared_ptr<ConfigurationManager> config)
    : requestBase(base),
      isMainProduct(mainProduct),
      channel(defaultChannel),
      position(offerPosition),
      config_(std::move(config)) {
  ReadOffer(offer);
  BuildEventRecord();
}

Package::Package(const RequestBase& base, bool mainProduct, const std::wstring& id, const std::wstring& feed,
                 const std::wstring& name, const std::wstring& channelText, int offerPosition)
    : Package(base, mainProduct, id, feed, name, channelText, offerPosition, ConfigurationManager::Instance()) {}

Package::Package(const RequestBase& base, bool mainProduct, const std::wstring& id, const std::wstring& feed,
                 const std::wstring& name, const std::wstring& channelText, int offerPosition,
                 std::shared_ptr<ConfigurationManager> config)
    : requestBase(base), isMainProduct(mainProduct), position(offerPosition), config_(std::move(config)) {
  TextCodec& text = config_->GetPlatform().text;
  offerId = text.ToNarrow(id, CodePage::ThreadAnsi);
  offerFeed = text.ToNarrow(feed, CodePage::ThreadAnsi);
  displayName = text.ToNarrow(name, CodePage::ThreadAnsi);
  channel = text.ToNarrow(channelText, CodePage::ThreadAnsi);
  BuildEventRecord();
}

void Package::ReadOffer(const json& offer) {
  ConfigurationManager& config = *config_;
  Platform& platform = config.GetPlatform();
  const auto expand = [this](const json& value) { return ExpandMacros(value.get<std::string>()); };
  const auto wide = [&platform](const json& value) { return Utf8ToWide(platform.text, value.get<std::string>()); };

  AddTrackingMacros(macros, config);

  const json& ad = offer.at("ad");
  offerFeed = ad.at("f").get<std::string>();
  offerId = ad.at("o").get<std::string>();

  std::string pixel;
  try {
    pixel = Base62EncodeText(config.GetUserId() + "|" + offerId + "|" + config.GetSessionTimestamp());
  } catch (const std::exception&) {
    pixel.clear();
  }
  AddMacro(macros, "pxl", pixel);
  AddMacro(macros, "of", offerFeed);

  const json& ps = offer.at("ps");
  imageName = expand(ps.at("i"));
  displayName = expand(ps.at("dn"));
  downloadUrl = expand(ps.at("u"));

  ReadPartnerSettings(ps, partnerSettings, macros, config);

  if (ps.contains("p")) installArguments = expand(ps["p"]);
  if (ps.contains("cp")) privacyUrl = expand(ps["cp"]);
  if (ps.contains("ctu")) licenseUrl = expand(ps["ctu"]);
  if (ps.contains("v")) offerGroup = JsonToInt(ps["v"], true);
  if (ps.contains("exc")) exclusive = ps["exc"].get<bool>();
  if (ps.contains("c")) channel = expand(ps["c"]);

  if (ps.contains("disk")) minDiskSpace = JsonToInt64(ps["disk"]);
  if (ps.contains("ram")) minRam = JsonToInt64(ps["ram"]);
  if (ps.contains("cpu")) minCpu = JsonToInt64(ps["cpu"]);
  if (ps.contains("ov")) osRule = JsonToInt(ps["ov"], true);
  if (ps.contains("pv")) platformRule = ps["pv"].get<std::string>();
  if (ps.contains("win64")) requires64BitOs = ps["win64"].get<bool>();

  if (ps.contains("x")) {
    switch (JsonToInt(ps["x"], true)) {
      case 1: minDiskSpace = 2500, minRam = 250; break;
      case 2: requiresChrome = true, requiresModernIe = true; break;
      case 3: minDiskSpace = 512, minRam = 1536, minCpu = 1500; break;
      case 10: requires64BitOs = true; break;
      case 12: requiresChrome = true; break;
      case 13: forbidsChrome = true; break;
      default: break;
    }
  }

  const auto readPaths = [&](const char* key, std::vector<std::wstring>& paths) {
    if (!ps.contains(key)) return;
    const FolderMacroTable folderMacros = config.GetFolderMacros();
    ForEachElement(ps[key], [&](const json& element) {
      std::wstring path = platform.text.ToWide(element.get<std::string>(), CodePage::ThreadAnsi);
      ExpandFolderMacros(path, folderMacros);
      paths.push_back(std::move(path));
    });
  };
  readPaths("fe", filesAllAbsent);
  readPaths("ife", filesOnePresent);

  if (ps.contains("a")) {
    ForEachElement(ps["a"], [&](const json& element) { processNames.push_back(element.get<std::string>()); });
  }
  const auto readWide = [&](const char* key, std::vector<std::wstring>& list) {
    if (!ps.contains(key)) return;
    ForEachElement(ps[key], [&](const json& element) { list.push_back(wide(element)); });
  };
  readWide("r", registryKeysAllAbsent);
  readWide("ir", registryKeysOnePresent);
  readWide("rvn", registryValueRules);
  readWide("rvd", registryDataRules);

  if (ps.contains("cmdu")) {
    ForEachElement(ps["cmdu"], [&](const json& element) {
      UninstallRule rule;
      rule.root = wide(element.at("utr"));
      rule.key = wide(element.at("utk"));
      rule.valueName = wide(element.at("utvn"));
      rule.valueType = wide(element.at("utvt"));
      rule.minDays = JsonToInt(element.at("umd"), true);
      if (element.contains("utms")) rule.inMilliseconds = element["utms"].get<bool>();
      uninstallRules.push_back(std::move(rule));
    });
  }

  readWide("eapp", excludedApps);
  readWide("iapp", includedApps);
}

void Package::BuildEventRecord() {
  eventRecord = requestBase.record;
  if (isMainProduct) {
    eventRecord["5"] = eventRecord.contains("22") ? eventRecord["22"] : json("");
    eventRecord["10"] = 1;
    eventRecord["18"] = "";
  } else {
    eventRecord["5"] = offerId;
    eventRecord["10"] = 2;
    eventRecord["16"] = channel;
    eventRecord["17"] = std::to_string(position + 1);
    eventRecord["18"] = offerFeed;
  }
}

void Package::MakeMainProduct(const RequestBase& newRequestBase, const std::wstring& newOfferId,
                              const std::wstring& newOfferFeed, const std::wstring& newDisplayName,
                              const std::wstring& newChannel) {
  TextCodec& text = config_->GetPlatform().text;
  requestBase = newRequestBase;
  isMainProduct = true;
  offerId = text.ToNarrow(newOfferId, CodePage::ThreadAnsi);
  offerFeed = text.ToNarrow(newOfferFeed, CodePage::ThreadAnsi);
  displayName = text.ToNarrow(newDisplayName, CodePage::ThreadAnsi);
  channel = text.ToNarrow(newChannel, CodePage::ThreadAnsi);
  position = 0;
  BuildEventRecord();
}

Package::~Package() {
  std::unique_lock<std::mutex> lock(eventMutex);
  while (pendingEvents != 0) {
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    lock.lock();
  }
}

std::string Package::ExpandMacros(const std::string& text) const { return zelvane::ExpandMacros(macros, text); }

std::wstring Package::DownloadUrlW() const {
  return config_->GetPlatform().text.ToWide(downloadUrl, CodePage::ThreadAnsi);
}

std::wstring Package::InstallArgumentsW() const {
  return config_->GetPlatform().text.ToWide(installArguments, CodePage::ThreadAnsi);
}

// --- Events ---

bool Package::IsClosingEvent(int eventId) {
  switch (eventId) {
    case -1:
    case 2:
    case 3:
    case 4:
    case 5:
      return true;
    default:
      return false;
  }
}

void Package::SendEvent(int eventId, const json& params) {
  if (eventsClosed) return;
  {
    std::lock_guard<std::mutex> lock(eventMutex);
    ++pendingEvents;
  }
  auto state = std::make_shared<EventState>();
  try {
    state->thread = std::make_shared<std::thread>(
        [self = shared_from_this(), eventId, params]() mutable { self->DeliverEvent(eventId, std::move(params)); });
  } catch (...) {
    // No thread: nothing will finish this delivery, so it is not counted.
    std::lock_guard<std::mutex> lock(eventMutex);
    if (--pendingEvents == 0) eventsIdle.notify_all();
    throw;
  }
  state->thread->detach();
}

void Package::DeliverEvent(int eventId, json params) {
  try {
    json record = eventRecord;
    record["6"] = std::to_string(eventId);
    for (auto it = params.begin(); it != params.end(); ++it) {
      if (record.contains(it.key())) record[it.key()] = it.value();
    }
    const json envelope{{"table", "zb_analytics"}, {"data", record.dump()}};

    Platform& platform = config_->GetPlatform();
    for (int attempt = 0; attempt < 2; ++attempt) {
      const std::string body = envelope.dump();
      const std::wstring url = config_->analyticsUrl;
      std::string response;
      std::uint32_t status = 0;
      if (platform.transport.PostJson(url, body, requestBase.headers, response, status) && status >= 200 &&
          status <= 399) {
        if (IsClosingEvent(eventId)) eventsClosed = true;
        break;
      }
      platform.machine.Sleep(5000);
    }
  } catch (const std::exception&) {
    // A failed transfer, malformed parameters or text that is not UTF-8: the event is dropped.
  }
  std::lock_guard<std::mutex> lock(eventMutex);
  if (--pendingEvents == 0) eventsIdle.notify_all();
}

bool WaitForEventDeliveries(const std::vector<std::shared_ptr<Package>>& packages, std::int64_t budgetMs,
                            WaitClock& clock) {
  const std::int64_t deadline = clock.NowMs() + budgetMs;
  for (const auto& package : packages) {
    if (!package) continue;
    std::unique_lock<std::mutex> lock(package->eventMutex);
    while (package->pendingEvents != 0) {
      const std::int64_t left = deadline - clock.NowMs();
      if (left <= 0) return false;
      clock.WaitFor(package->eventsIdle, lock, left);
    }
  }
  return true;
}

}  // namespace zelvane
