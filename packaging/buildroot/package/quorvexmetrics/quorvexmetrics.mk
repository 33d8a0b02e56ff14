################################################################################
#
# quorvexmetrics
#
################################################################################

QUORVEXMETRICS_VERSION = 1.0
QUORVEXMETRICS_SITE = $(BR2_EXTERNAL_QUORVEXMETRICS_PATH)/../..
QUORVEXMETRICS_SITE_METHOD = local
# A developer's build directories in the checkout are not sources.
QUORVEXMETRICS_OVERRIDE_SRCDIR_RSYNC_EXCLUSIONS = \
	--exclude='/build*' --exclude=/out
QUORVEXMETRICS_CONF_OPTS = -DQUORVEX_BUILD_TESTS=OFF

# The binaries follow the image: the C++ runtime from the shared libraries
# Buildroot installs in the target, or, in an image without shared
# libraries, everything linked in (with the runtime's quiet terminate
# handler, which a static link alone would not bring).
ifeq ($(BR2_STATIC_LIBS),y)
QUORVEXMETRICS_CONF_OPTS += -DQUORVEX_STATIC=ON
else
QUORVEXMETRICS_CONF_OPTS += -DQUORVEX_STATIC=OFF -DQUORVEX_STATIC_CXX_RUNTIME=OFF
endif

ifeq ($(BR2_ENABLE_LTO),y)
QUORVEXMETRICS_CONF_OPTS += -DCMAKE_INTERPROCEDURAL_OPTIMIZATION=ON
else
QUORVEXMETRICS_CONF_OPTS += -DCMAKE_INTERPROCEDURAL_OPTIMIZATION=OFF
endif

ifeq ($(BR2_PACKAGE_QUORVEXMETRICS_CARDTOOL),y)
QUORVEXMETRICS_CONF_OPTS += -DQUORVEX_BUILD_CARDTOOL=ON
else
QUORVEXMETRICS_CONF_OPTS += -DQUORVEX_BUILD_CARDTOOL=OFF
endif

ifeq ($(BR2_PACKAGE_QUORVEXMETRICS_PAGE),y)
define QUORVEXMETRICS_INSTALL_PAGE
	$(INSTALL) -D -m 0644 $(@D)/packaging/www/signal.html \
		$(TARGET_DIR)/var/www/signal.html
	$(INSTALL) -D -m 0755 $(@D)/packaging/www/cgi-bin/quorvex-signal \
		$(TARGET_DIR)/var/www/cgi-bin/quorvex-signal
endef
QUORVEXMETRICS_POST_INSTALL_TARGET_HOOKS += QUORVEXMETRICS_INSTALL_PAGE
endif

ifeq ($(BR2_PACKAGE_QUORVEXMETRICS_CRON),y)
QUORVEXMETRICS_CRONTAB = $(TARGET_DIR)/etc/cron/crontabs/root
# Root's crontab may hold other packages' lines: replace only the probe's.
define QUORVEXMETRICS_INSTALL_CRONTAB
	mkdir -p $(dir $(QUORVEXMETRICS_CRONTAB))
	touch $(QUORVEXMETRICS_CRONTAB)
	$(SED) '\: /usr/bin/quorvexmetrics :d' $(QUORVEXMETRICS_CRONTAB)
	echo '$(call qstrip,$(BR2_PACKAGE_QUORVEXMETRICS_CRON_SCHEDULE)) /usr/bin/quorvexmetrics >/dev/null 2>&1' \
		>>$(QUORVEXMETRICS_CRONTAB)
	chmod 0600 $(QUORVEXMETRICS_CRONTAB)
endef
QUORVEXMETRICS_POST_INSTALL_TARGET_HOOKS += QUORVEXMETRICS_INSTALL_CRONTAB
endif

$(eval $(cmake-package))
