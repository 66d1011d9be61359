/* Control ids of the crash reporter's dialog templates (crash_dialog.rc), shared with the code. */
#pragma once

/* "ML_DIALOG" */
#define ML_ID_OK 2
#define ML_ID_TERMINATE 3
#define ML_ID_DETAILS 4
#define ML_ID_MESSAGE 101
#define ML_ID_TABS 1000
#define ML_ID_LINE 2000
#define ML_ID_SEND 3000
#define ML_ID_SCREENSHOT 4000
#define ML_ID_COPY 5000

/* The tab pages "ML_TAB_*" */
#define ML_ID_PAGE_TITLE 102
#define ML_ID_PAGE_BODY 103

/* "ML_REQUEST" */
#define ML_ID_REQUEST_LABEL 100
#define ML_ID_REQUEST_TEXT 101

/* "ML_SERVER" */
#define ML_ID_SERVER_STATUS 100
#define ML_ID_SERVER_PROGRESS 101
