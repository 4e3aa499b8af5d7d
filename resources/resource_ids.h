// Numbers of the program's resources, shared by the resource script and the
// window code. Resources are named by number only.
#ifndef KIV_RESOURCES_RESOURCE_IDS_H
#define KIV_RESOURCES_RESOURCE_IDS_H

#define KIV_ICON_SETUP 101
#define KIV_DIALOG_PROGRESS 102
#define KIV_CONTROL_SENTENCE 1000

#endif
