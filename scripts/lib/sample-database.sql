-- The sample shop database of scripts/try-server.sh and scripts/screenshots.sh:
-- customers (names with apostrophes, missing phone numbers), products,
-- orders (dates, a foreign key to customers) and order lines, about 5,700
-- rows with some non-English text. Loaded into an empty database.
CREATE TABLE customers (
    id INT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY,
    first_name VARCHAR(50) NOT NULL,
    last_name VARCHAR(50) NOT NULL,
    email VARCHAR(120) NOT NULL UNIQUE,
    phone VARCHAR(30) NULL COMMENT 'NULL when the customer gave none',
    city VARCHAR(60) NOT NULL,
    country CHAR(2) NOT NULL,
    created_at DATETIME NOT NULL DEFAULT CURRENT_TIMESTAMP,
    notes TEXT NULL
) ENGINE=InnoDB;

CREATE TABLE products (
    id INT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY,
    sku VARCHAR(20) NOT NULL UNIQUE,
    name VARCHAR(100) NOT NULL,
    unit_price DECIMAL(10,2) NOT NULL,
    in_stock SMALLINT NOT NULL DEFAULT 0,
    description TEXT NULL
) ENGINE=InnoDB;

CREATE TABLE orders (
    id INT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY,
    customer_id INT UNSIGNED NOT NULL,
    ordered_on DATE NOT NULL,
    shipped_at DATETIME NULL,
    status ENUM('new', 'paid', 'shipped', 'cancelled') NOT NULL DEFAULT 'new',
    comment VARCHAR(255) NULL,
    KEY ordered_on (ordered_on),
    CONSTRAINT fk_orders_customer FOREIGN KEY (customer_id) REFERENCES customers (id)
) ENGINE=InnoDB;

CREATE TABLE order_lines (
    order_id INT UNSIGNED NOT NULL,
    line_no SMALLINT UNSIGNED NOT NULL,
    product_id INT UNSIGNED NOT NULL,
    quantity SMALLINT UNSIGNED NOT NULL,
    unit_price DECIMAL(10,2) NOT NULL,
    PRIMARY KEY (order_id, line_no),
    CONSTRAINT fk_lines_order FOREIGN KEY (order_id) REFERENCES orders (id) ON DELETE CASCADE,
    CONSTRAINT fk_lines_product FOREIGN KEY (product_id) REFERENCES products (id)
) ENGINE=InnoDB;

INSERT INTO products (sku, name, unit_price, in_stock, description) VALUES
    ('MUG-001', 'Café au lait mug', 8.50, 120, 'Stoneware, 350 ml'),
    ('MUG-002', 'Espresso cup and saucer', 6.90, 80, NULL),
    ('TEA-001', '日本茶 sencha, 100 g', 12.00, 45, 'Green tea from Shizuoka'),
    ('TEA-002', 'Earl Grey, 250 g', 9.75, 60, NULL),
    ('COF-001', 'Kaffee „Hausmischung“, 500 g', 11.40, 75, 'Medium roast'),
    ('COF-002', 'Café de Colombia, 1 kg', 21.90, 30, NULL),
    ('KIT-001', 'Crème brûlée torch', 24.99, 15, 'Refillable; butane not included'),
    ('KIT-002', 'Smørrebrød board, oak', 19.50, 22, NULL),
    ('KIT-003', 'Pasta machine', 39.00, 10, 'Rollers 150 mm wide'),
    ('KIT-004', 'Chef''s knife, 20 cm', 54.00, 18, 'Do not put it in the dishwasher'),
    ('KIT-005', 'Jalapeño pepper grinder', 14.25, 40, NULL),
    ('KIT-006', 'Tea towel set (3)', 9.99, 90, NULL),
    ('BAK-001', 'Springform tin, 26 cm', 16.80, 25, NULL),
    ('BAK-002', 'Piping bag with 8 nozzles', 7.45, 55, NULL),
    ('BAK-003', 'Crêpe pan, 24 cm', 27.30, 12, 'Cast iron'),
    ('BOO-001', 'Children''s atlas', 15.95, 35, 'Ages 7 to 11'),
    ('BOO-002', 'The Baker''s Year', 23.00, 20, NULL),
    ('BOO-003', 'Ångström: a life in light', 18.60, 8, 'Biography'),
    ('BOO-004', 'Street food of Seoul (서울)', 21.00, 14, NULL),
    ('BOO-005', 'Tapas: 100 recetas fáciles', 17.90, 16, 'Spanish edition'),
    ('DRK-001', 'O''Hara''s Irish stout, 6 × 330 ml', 13.20, 48, 'Contains alcohol'),
    ('DRK-002', 'Grüner Veltliner, 0.75 l', 11.90, 36, 'Contains alcohol'),
    ('DRK-003', 'Sparkling water, 12 × 1 l', 6.60, 100, NULL),
    ('DRK-004', 'Apple juice, cloudy, 1 l', 2.80, 140, NULL),
    ('HOM-001', 'Candle "Winter evening"', 12.50, 65, 'Burns about 40 hours'),
    ('HOM-002', 'Linen napkins (4)', 22.00, 28, NULL),
    ('HOM-003', 'Doormat "Welcome"', 19.99, 33, NULL),
    ('HOM-004', 'Picture frame 13 × 18 cm', 8.90, 70, NULL),
    ('GAR-001', 'Herb pots, set of 3', 14.00, 26, NULL),
    ('GAR-002', 'Watering can, 5 l', 17.50, 19, NULL),
    ('GAR-003', 'Seed mix "Bee''s delight"', 3.95, 200, 'Sow from April to June'),
    ('GAR-004', 'Garden gloves, size M', 6.25, 85, NULL),
    ('TOY-001', 'Wooden train set', 34.90, 9, 'Ages 3 and up'),
    ('TOY-002', 'Puzzle 1000 pieces: Zürich', 15.50, 21, NULL),
    ('TOY-003', 'Kite "Falcon"', 19.00, 13, NULL),
    ('TOY-004', 'Marbles in a tin', 4.99, 150, NULL),
    ('OFF-001', 'Notebook A5, dotted', 5.40, 180, NULL),
    ('OFF-002', 'Fountain pen', 29.00, 17, 'Fine nib'),
    ('OFF-003', 'Ink cartridges (6)', 3.20, 160, NULL),
    ('OFF-004', 'Desk lamp', 44.00, 11, 'LED, 3 brightness levels');

INSERT INTO customers (first_name, last_name, email, phone, city, country, created_at, notes)
SELECT
    ELT(1 + seq % 16, 'Aoife', 'Seán', 'Zoë', 'José', 'Ingrid', 'Mohammed', 'Chloé', 'Björn',
        'Priya', 'Łukasz', 'Hannah', 'Kenji', 'Nuala', 'François', 'Olga', 'Tomás'),
    ELT(1 + (seq * 7) % 20, 'O''Brien', 'D''Angelo', 'Murphy', 'O''Connor', 'Müller', 'García',
        'Sørensen', 'Nguyễn', 'Smith', 'Kowalski', 'Dubois', 'Rossi', 'Tanaka', 'O''Neill', 'Schmidt',
        'Fernández', 'Novák', 'McDonald', 'D''Souza', 'Andersson'),
    CONCAT('customer', seq, '@example.org'),
    IF(seq % 5 = 0, NULL, CONCAT('+44 20 7946 ', LPAD((seq * 37) % 10000, 4, '0'))),
    ELT(1 + seq % 10, 'Dublin', 'København', 'São Paulo', 'Zürich', 'Kraków', 'London', 'Montréal',
        'Reykjavík', 'Sevilla', 'Ōsaka'),
    ELT(1 + seq % 10, 'IE', 'DK', 'BR', 'CH', 'PL', 'GB', 'CA', 'IS', 'ES', 'JP'),
    TIMESTAMP('2022-01-03 09:00:00') + INTERVAL seq * 2 DAY + INTERVAL (seq * 53) % 600 MINUTE,
    CASE
        WHEN seq % 50 = 0 THEN 'Prefers delivery after 5 p.m.; ring twice.'
        WHEN seq % 73 = 0 THEN 'Asked for invoices "without the logo".'
        WHEN seq % 97 = 0 THEN 'Old address: 12 Quay St.\nNew address from March.'
    END
FROM seq_1_to_400;

INSERT INTO orders (customer_id, ordered_on, shipped_at, status, comment)
SELECT
    1 + (seq * 13) % 400,
    DATE('2023-01-02') + INTERVAL seq DIV 2 DAY,
    IF(seq % 10 < 7, TIMESTAMP(DATE('2023-01-02') + INTERVAL seq DIV 2 + 1 + seq % 3 DAY, '14:30:00'), NULL),
    CASE WHEN seq % 10 < 7 THEN 'shipped' WHEN seq % 10 < 9 THEN 'paid' WHEN seq % 20 = 9 THEN 'new'
        ELSE 'cancelled' END,
    CASE
        WHEN seq % 30 = 0 THEN 'Leave it at the neighbour''s door'
        WHEN seq % 45 = 0 THEN 'Gift wrap, please – it''s a birthday present'
    END
FROM seq_1_to_1500;

INSERT INTO order_lines (order_id, line_no, product_id, quantity, unit_price)
SELECT o.seq, l.seq, p.id, 1 + (o.seq + l.seq) % 5, p.unit_price
FROM seq_1_to_1500 o
JOIN seq_1_to_4 l ON l.seq <= 1 + (o.seq * 7) % 4
JOIN products p ON p.id = 1 + (o.seq * 31 + l.seq * 11) % 40;
