#pragma once

#include "PelloraCore/Email.h"

namespace pellora {

class ScriptRunner;
class Workspace;

// Reads the email selected in Mail through its scripting interface, saving its attachments
// into a private folder in the temporary directory.
namespace MailReader {

// Blocks until Mail answers. Throws MailError, or std::filesystem::filesystem_error when the
// attachment folder cannot be created. The caller owns the attachment folder afterwards.
Email readSelectedEmail(Workspace& workspace, ScriptRunner& scripts);

// Removes attachment folders left over from earlier runs (older than one hour). Never fails.
void sweepOldAttachmentFolders();

} // namespace MailReader
} // namespace pellora
