// The page makers, one per board page; each is defined in its page's folder.
#pragma once

#include "PageContext.h"

std::unique_ptr<CPageDlg> CreateMemoryPage(const PageContext& context, QWidget* parent);
std::unique_ptr<CPageDlg> CreatePhoneLinePage(const PageContext& context, QWidget* parent);
std::unique_ptr<CPageDlg> CreateLineOptionsPage(const PageContext& context, QWidget* parent);
std::unique_ptr<CPageDlg> CreateOutputPage(const PageContext& context, QWidget* parent);
std::unique_ptr<CPageDlg> CreateCodecTabsPage(const PageContext& context, QWidget* parent);
std::unique_ptr<CPageDlg> CreateCalibrationPage(const PageContext& context, QWidget* parent);
