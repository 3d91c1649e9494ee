// The profile of one built variant; its values come from the generated header of that variant.
#include "app/build_profile.h"
#include "build_profile_values.h"

namespace zelvane {

const BuildProfile& CompiledProfile() {
  static const BuildProfile profile{
      ZELVANE_PROFILE_WIZARD_TYPE,   ZELVANE_PROFILE_BRANDED_FLOW,  ZELVANE_PROFILE_CLASSIC_FLOW,
      ZELVANE_PROFILE_CONTENT_HOST,  ZELVANE_PROFILE_DOWNLOAD_HOST, ZELVANE_PROFILE_WEBSITE_HOST,
  };
  return profile;
}

}  // namespace zelvane
