// The module's exported data: instance pointers a host may look at. Only _dmRIS is ever
// set, while a call runs.
#pragma once

// Their names are the ones hosts look up, leading underscore and capital included.
// NOLINTBEGIN(bugprone-reserved-identifier)
extern "C" {
extern void* _dmRIS;
extern void* _frmShowDetail;
extern void* _MyPrintPageControl;
extern void* _MyPrntPage;
extern void* _NMPrntPage;
extern void* _OTPrntPage;
extern void* _frmShowEdit;
extern void* _frmShowReport;
extern void* _frmShowCanvas;
extern void* _frmImageList;
}
// NOLINTEND(bugprone-reserved-identifier)
