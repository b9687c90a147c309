#include "output/foreign_key_order.h"

#include <algorithm>
#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/strong_components.hpp>
#include <boost/graph/topological_sort.hpp>
#include <iterator>
#include <unordered_map>

#include "database/schema_key.h"
#include "database/schema_table.h"

namespace {

using Graph = boost::adjacency_list<boost::vecS, boost::vecS, boost::directedS>;

// An edge runs from the table that holds a foreign key to the table it references.
// topological_sort emits vertices in reverse topological order, that is referenced first.
Graph DependencyGraph(const std::vector<std::unique_ptr<SchemaTable>>& tables)
{
    std::unordered_map<const SchemaTable*, size_t> number;
    for (size_t i = 0; i < tables.size(); ++i)
        number.emplace(tables[i].get(), i);
    Graph graph(tables.size());
    for (size_t i = 0; i < tables.size(); ++i) {
        for (const auto& key : tables[i]->Keys()) {
            if (key->KeyType() != SchemaKey::kForeign)
                continue;
            auto related = number.find(key->RelatedTable());
            if (related == number.end() || related->second == i)
                continue;
            boost::add_edge(i, related->second, graph);
        }
    }
    return graph;
}

// With a cycle: the strongly connected components form a graph without cycles; its order
// places each component, and a component's tables keep schema order.
std::vector<size_t> OrderWithCycles(const Graph& graph)
{
    const size_t n = boost::num_vertices(graph);
    std::vector<int> component(n);
    int count = boost::strong_components(graph, component.data());
    Graph condensed(count);
    for (auto [e, end] = boost::edges(graph); e != end; ++e) {
        int from = component[boost::source(*e, graph)];
        int to = component[boost::target(*e, graph)];
        if (from != to)
            boost::add_edge(from, to, condensed);
    }
    std::vector<size_t> componentOrder;
    boost::topological_sort(condensed, std::back_inserter(componentOrder));
    std::vector<size_t> order;
    order.reserve(n);
    for (size_t c : componentOrder)
        for (size_t v = 0; v < n; ++v)
            if (static_cast<size_t>(component[v]) == c)
                order.push_back(v);
    return order;
}

}  // namespace

std::vector<SchemaTable*> ForeignKeyOrder(const std::vector<std::unique_ptr<SchemaTable>>& tables)
{
    Graph graph = DependencyGraph(tables);
    std::vector<size_t> order;
    try {
        boost::topological_sort(graph, std::back_inserter(order));
    } catch (const boost::not_a_dag&) {
        order = OrderWithCycles(graph);
    }
    std::vector<bool> placed(tables.size(), false);
    std::vector<SchemaTable*> result;
    result.reserve(tables.size());
    for (size_t v : order) {
        if (v < tables.size() && !placed[v]) {
            placed[v] = true;
            result.push_back(tables[v].get());
        }
    }
    for (size_t i = 0; i < tables.size(); ++i)
        if (!placed[i])
            result.push_back(tables[i].get());
    return result;
}
