#include "Home/UnavailableEngineRunner.hpp"

namespace marlowick {

HelperResult UnavailableEngineRunner::run(const HelperCommand&, const HelperProgressHandler&,
                                          const HelperCancelCheck&) {
    return HelperResult::failed(HelperCommandError::CouldNotOpenDevice{std::string(detail)});
}

}  // namespace marlowick
