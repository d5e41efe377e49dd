# The Debian package (cpack -G DEB), built by scripts/package.sh.
set(VARDELL_MAINTAINER "vardell developers <vardell@vardell.example.org>" CACHE STRING
  "The package's maintainer, name and address")

set(CPACK_PACKAGE_NAME vardell)
set(CPACK_PACKAGE_VENDOR "the vardell developers")
set(CPACK_PACKAGE_CONTACT "${VARDELL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "hierarchical cluster analysis of stratigraphic data")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VARDELL_HOMEPAGE})
# The extended description; the summary above is the synopsis line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "vardell groups the samples of a table of measurements, such as the pollen
counts, geochemistry or grain sizes of the samples of a sediment core, by
hierarchical agglomerative cluster analysis, and draws the fusion tree as a
dendrogram that can be panned, rescaled, printed and exported.
.
It offers six clustering strategies (minimum variance, furthest and nearest
neighbour, centroid sorting, weighted and unweighted pair-group), three
dissimilarity coefficients (Euclidean, chord, Manhattan) and stratigraphically
constrained clustering. It reads row-column text files, dBase and Paradox
tables and delimited text tables.
.
The command-line tool vardell-cli runs the same analysis without windows and
writes the fusion table as CSV or the dendrogram as EMF, SVG, PNG or PDF.")
# The libraries come from the binaries; Qt's platform plugins are loaded at run time and
# only recommended by Qt itself, yet the windows cannot open without them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
include(CPack)
