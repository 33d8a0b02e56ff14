include $(sort $(wildcard $(BR2_EXTERNAL_QUORVEXMETRICS_PATH)/package/*/*.mk))
