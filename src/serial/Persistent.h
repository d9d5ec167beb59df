#pragma once
// Base of the setting objects that can be copied into one another: copying
// works only between objects of the same class, as in the component model
// these objects come from.

#include <stdexcept>
#include <string>

class TPersistent {
public:
    virtual ~TPersistent() = default;
    virtual std::string ClassName() const = 0;

    /// Copies the fields of Source; refuses a Source of another class.
    virtual void Assign(const TPersistent& Source) {
        throw std::invalid_argument("Cannot assign a " + Source.ClassName() + " to a " +
                                    ClassName());
    }

protected:
    TPersistent() = default;
    TPersistent(const TPersistent&) = default;
    TPersistent& operator=(const TPersistent&) = default;
};
