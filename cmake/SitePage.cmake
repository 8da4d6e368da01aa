# Copies the page into the site (cmake -P, from cmake/Web.cmake): the
# release's number where the page names the one-file card, and, given the
# site's address, absolute addresses for the link preview, which sites that
# show previews require.
#   cmake -DIN=<page> -DOUT=<file> -DRELEASE=<n> [-DSITE_URL=https://...] -P SitePage.cmake
file(READ ${IN} page)
string(REPLACE "@VELMORA_RELEASE@" "${RELEASE}" page "${page}")
if(SITE_URL)
  string(REGEX REPLACE "/+$" "" base "${SITE_URL}")
  set(og "<meta property=\"og:image\" content=\"og-image.jpg\">")
  string(FIND "${page}" "${og}" at)
  if(at LESS 0)
    message(FATAL_ERROR "${IN} has no og:image to make absolute")
  endif()
  string(REPLACE "${og}" "<meta property=\"og:url\" content=\"${base}/\">\n<meta property=\"og:image\" content=\"${base}/og-image.jpg\">"
         page "${page}")
endif()
file(WRITE ${OUT} "${page}")
