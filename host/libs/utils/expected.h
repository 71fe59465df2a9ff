// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QString>

#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

// C++20 has no std::expected; this covers what callers of the host API use:
// 'if (!r)', 'r.error()', '*r', 'r->' and 'return make_unexpected(...)'.

namespace Utils {

template<typename E>
class unexpected
{
public:
    explicit unexpected(const E &error)
        : m_error(error)
    {}
    explicit unexpected(E &&error)
        : m_error(std::move(error))
    {}

    const E &error() const & { return m_error; }
    E &error() & { return m_error; }
    E &&error() && { return std::move(m_error); }

private:
    E m_error;
};

template<typename E>
unexpected(E) -> unexpected<E>;

template<typename E>
unexpected<std::decay_t<E>> make_unexpected(E &&error)
{
    return unexpected<std::decay_t<E>>(std::forward<E>(error));
}

namespace Internal {
template<typename U>
struct IsUnexpected : std::false_type
{
};
template<typename E>
struct IsUnexpected<unexpected<E>> : std::true_type
{
};
} // namespace Internal

template<typename T, typename E>
class expected
{
public:
    using value_type = T;
    using error_type = E;

    expected()
        : m_storage(std::in_place_index<0>)
    {}

    template<typename U = T>
    requires(
        std::is_constructible_v<
            T,
            U &&> && !std::is_same_v<std::remove_cvref_t<U>, expected> && !Internal::IsUnexpected<std::remove_cvref_t<U>>::value)
        expected(U &&value)
        : m_storage(std::in_place_index<0>, std::forward<U>(value))
    {}

    template<typename G>
    requires std::is_constructible_v<E, const G &> expected(const unexpected<G> &error)
        : m_storage(std::in_place_index<1>, error.error())
    {}

    template<typename G>
    requires std::is_constructible_v<E, G &&> expected(unexpected<G> &&error)
        : m_storage(std::in_place_index<1>, std::move(error).error())
    {}

    bool has_value() const { return m_storage.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T &value() & { return std::get<0>(m_storage); }
    const T &value() const & { return std::get<0>(m_storage); }
    T &&value() && { return std::get<0>(std::move(m_storage)); }

    template<typename U>
    T value_or(U &&fallback) const &
    {
        return has_value() ? value() : static_cast<T>(std::forward<U>(fallback));
    }

    E &error() & { return std::get<1>(m_storage); }
    const E &error() const & { return std::get<1>(m_storage); }
    E &&error() && { return std::get<1>(std::move(m_storage)); }

    T &operator*() & { return value(); }
    const T &operator*() const & { return value(); }
    T &&operator*() && { return std::move(*this).value(); }
    T *operator->() { return &value(); }
    const T *operator->() const { return &value(); }

private:
    // Index-based so that expected<QString, QString> stays unambiguous.
    std::variant<T, E> m_storage;
};

template<typename E>
class expected<void, E>
{
public:
    using value_type = void;
    using error_type = E;

    expected() = default;

    template<typename G>
    requires std::is_constructible_v<E, const G &> expected(const unexpected<G> &error)
        : m_error(error.error())
    {}

    template<typename G>
    requires std::is_constructible_v<E, G &&> expected(unexpected<G> &&error)
        : m_error(std::move(error).error())
    {}

    bool has_value() const { return !m_error.has_value(); }
    explicit operator bool() const { return has_value(); }
    void value() const {}

    E &error() & { return *m_error; }
    const E &error() const & { return *m_error; }
    E &&error() && { return std::move(*m_error); }

private:
    std::optional<E> m_error;
};

template<typename T>
using expected_str = expected<T, QString>;

} // namespace Utils
