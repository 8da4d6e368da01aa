// The web addresses the card opens and the captions that name them: the
// product's web site (a reserved example domain until the product has a
// site of its own) and the maker's own page on it.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

inline constexpr std::string_view kHomePage = "https://www.velmora.example";
inline constexpr std::string_view kMakerPathSegment = "studio";

// The maker's own page: the home page followed by "/" and one path segment.
inline std::string makerPage() { return std::string(kHomePage) + "/" + std::string(kMakerPathSegment); }

// Captions (each fits one line of its label).
inline constexpr std::string_view kSiteTitle = "Velmora Greeting Cards";
inline constexpr std::string_view kSiteDomainCaption = "www.velmora.example";
inline constexpr std::string_view kMakerPageCaption = "www.velmora.example/studio";
// The card's own link names the site by its bare domain.
inline constexpr std::string_view kCardLinkCaption = "velmora.example";

}  // namespace velmora
