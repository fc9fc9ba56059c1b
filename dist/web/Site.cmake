# Writes the service worker of a built site: every file of the site in its list, and a cache name
# made from their contents, so that any change reaches visitors as a whole.
#
#   cmake -DSITE=DIR -DTEMPLATE=sw.js.in -P Site.cmake
file(GLOB_RECURSE files RELATIVE ${SITE} ${SITE}/*)
list(REMOVE_ITEM files sw.js)
list(SORT files)
set(hashes "")
set(entries "'./'")
foreach(f ${files})
    file(SHA256 ${SITE}/${f} h)
    string(APPEND hashes "${f}:${h}\n")
    string(APPEND entries ", '${f}'")
endforeach()
string(SHA256 SITE_VERSION "${hashes}")
string(SUBSTRING ${SITE_VERSION} 0 16 SITE_VERSION)
set(SITE_FILES "${entries}")
configure_file(${TEMPLATE} ${SITE}/sw.js @ONLY)
