# Buildroot package override file (BR2_PACKAGE_OVERRIDE_FILE) for an offline
# build: the three host tools Buildroot would download and build are Debian's
# own binaries instead. host-tar (Buildroot wants tar >= 1.35, Debian 12 has
# 1.34, which does all this build needs), host-pkgconf (every cmake package
# depends on it; Buildroot's pkg-config wrapper still goes around it) and
# host-patchelf (used when the target tree is finalised). Nothing is built:
# the "sources" are this directory, the install links the Debian binary.

QUORVEX_HOST_TOOLS_DIR := $(patsubst %/,%,$(dir $(lastword $(MAKEFILE_LIST))))

# debian_host_tool PKG,NAME,PATH: PKG installs a link to the host's PATH as
# $(HOST_DIR)/bin/NAME and builds nothing.
define debian_host_tool
$(1)_OVERRIDE_SRCDIR = $(QUORVEX_HOST_TOOLS_DIR)
$(1)_CONFIGURE_CMDS = true
$(1)_BUILD_CMDS = true
$(1)_INSTALL_CMDS = mkdir -p $$(HOST_DIR)/bin && ln -sf $(3) $$(HOST_DIR)/bin/$(2)
endef

$(eval $(call debian_host_tool,HOST_TAR,tar,/bin/tar))
$(eval $(call debian_host_tool,HOST_PKGCONF,pkgconf,/usr/bin/pkgconf))
$(eval $(call debian_host_tool,HOST_PATCHELF,patchelf,/usr/bin/patchelf))
