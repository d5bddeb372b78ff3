// The "$" words of a card line: firmware sent to a card's driver in chunks.
#pragma once

#include <string_view>

namespace kvl {

struct CoreRun;

// The "$" word of a card line: LOADBIN downloads, LOADHEX is refused, any
// other command is reported. Prints its messages; never fatal.
void run_card_command(CoreRun &run, std::string_view card, std::string_view command, std::string_view rest);
// Sends the file named by the first word of rest to card in chunks of at most
// 2048 bytes. Returns 0 when all was sent, -1 after printing otherwise.
int download_firmware(CoreRun &run, std::string_view card, std::string_view rest);

}  // namespace kvl
