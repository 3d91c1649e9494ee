#pragma once
// One installable item of the wizard: the main product, or one partner offer read from an element of
// the configuration's "o" array. It carries the texts of the offer page, the download and installer
// values, the conditions the eligibility checker evaluates, its macro table and partner settings, its
// analytics event record and the bookkeeping of its event deliveries.
//
// Always owned through std::shared_ptr (std::make_shared): every event delivery keeps its package
// alive through shared_from_this().

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "offers/offer_rules.h"
#include "ports/wait_clock.h"
#include "telemetry/request_base.h"
#include "telemetry/tracking_macros.h"

namespace Gdiplus {
class Bitmap;
}

namespace zelvane {

class ConfigurationManager;

class Package : public std::enable_shared_from_this<Package> {
 public:
  // An offer from one element of "o". Throws the JSON library's exceptions for a malformed offer:
  // out_of_range 403 for a missing key, type_error 304 for a lookup in something that is not an
  // object, type_error 302 for a value of the wrong type; std::runtime_error when a text is not UTF-8.
  Package(const RequestBase& requestBase, const nlohmann::json& offer, bool isMainProduct,
          const std::string& defaultChannel, int position);
  Package(const RequestBase& requestBase, const nlohmann::json& offer, bool isMainProduct,
          const std::string& defaultChannel, int position, std::shared_ptr<ConfigurationManager> config);
  // The main product from values of the configuration record; the four texts are converted with the
  // thread's ANSI code page. Every condition stays at its default.
  Package(const RequestBase& requestBase, bool isMainProduct, const std::wstring& offerId,
          const std::wstring& offerFeed, const std::wstring& displayName, const std::wstring& channel, int position);
  Package(const RequestBase& requestBase, bool isMainProduct, const std::wstring& offerId,
          const std::wstring& offerFeed, const std::wstring& displayName, const std::wstring& channel, int position,
          std::shared_ptr<ConfigurationManager> config);
  Package(const Package&) = delete;
  Package& operator=(const Package&) = delete;
  // Waits, polling every 100 ms, until no delivery of this package runs.
  ~Package();

  // Makes this package the main product again with a new request base and new texts.
  void MakeMainProduct(const RequestBase& newRequestBase, const std::wstring& newOfferId,
                       const std::wstring& newOfferFeed, const std::wstring& newDisplayName,
                       const std::wstring& newChannel);

  // Starts one analytics event delivery on a detached thread and returns at once; does nothing once a
  // closing event of this package has been delivered. `params` is null or an object whose members
  // replace the record's members of the same key.
  void SendEvent(int eventId, const nlohmann::json& params = nullptr);
  // The body of a delivery thread: up to two posts, each failure followed by a 5000 ms pause.
  void DeliverEvent(int eventId, nlohmann::json params);

  // Replaces every "{name}" of the macro table in `text`.
  std::string ExpandMacros(const std::string& text) const;
  std::wstring DownloadUrlW() const;
  std::wstring InstallArgumentsW() const;

  ConfigurationManager& configuration() const { return *config_; }

  // Event identifiers after whose delivery the package sends nothing more.
  static bool IsClosingEvent(int eventId);

  // --- Fields, in the order the offer format lists them ---
  std::mutex eventMutex;
  std::condition_variable eventsIdle;
  int pendingEvents = 0;
  RequestBase requestBase;
  bool isMainProduct = false;
  std::string displayName;
  std::string offerId;
  std::string offerFeed;
  std::string channel;
  std::string imageName;
  std::string downloadUrl;
  std::string installArguments;
  std::string privacyUrl;
  std::string licenseUrl;
  std::atomic<int> offerGroup{0};
  std::int64_t minDiskSpace = 0;
  std::int64_t minRam = 0;
  std::int64_t minCpu = 0;
  int osRule = 0;
  std::string platformRule;
  bool requires64BitOs = false;
  int position = 0;
  std::atomic<bool> eventsClosed{false};
  nlohmann::json eventRecord;

  // --- Image (written by DownloadImage, which lives with the downloads) ---
  // Empty until a download stored one; released before GDI+ shuts down.
  std::shared_ptr<Gdiplus::Bitmap> image;
  // --- end of the image fields ---

  MacroTable macros;
  std::vector<std::wstring> filesAllAbsent;
  std::vector<std::wstring> filesOnePresent;
  std::vector<std::string> processNames;
  std::vector<std::wstring> registryKeysAllAbsent;
  std::vector<std::wstring> registryKeysOnePresent;
  std::vector<std::wstring> registryValueRules;
  std::vector<std::wstring> registryDataRules;
  std::vector<std::wstring> excludedApps;
  std::vector<std::wstring> includedApps;
  bool exclusive = false;
  bool requiresChrome = false;
  bool forbidsChrome = false;
  bool requiresModernIe = false;
  std::vector<UninstallRule> uninstallRules;
  PartnerSettings partnerSettings;

 private:
  // Owns the thread of one delivery while SendEvent starts it.
  struct EventState {
    std::shared_ptr<std::thread> thread;
  };

  void ReadOffer(const nlohmann::json& offer);
  void BuildEventRecord();

  std::shared_ptr<ConfigurationManager> config_;
};

// Waits until no event delivery of the packages runs, for at most `budgetMs` in total over all of
// them (empty entries are passed over). True when every delivery finished; false when the time ran
// out, and the deliveries still running are abandoned.
bool WaitForEventDeliveries(const std::vector<std::shared_ptr<Package>>& packages, std::int64_t budgetMs,
                            WaitClock& clock = SteadyWaitClock());

// The bound of every wait for event deliveries at shut-down.
constexpr std::int64_t kShutdownEventWaitMs = 15000;

}  // namespace zelvane
